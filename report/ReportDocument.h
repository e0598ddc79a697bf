#pragma once
#include <QPageLayout>
#include <QStringList>
#include <string>
#include <vector>

#include "FormattedText.h"

class QTextDocument;

namespace qel {

// Builds the printable document of a formatted document: fonts (the named face, then a
// face of the same kind that Linux has), sizes, bold, italic, underline, strike-out and
// colour; paragraph alignment, indents, spacing, tab stops and page breaks; tables with
// their column widths and cell borders; PNG and JPEG pictures at their size. `target`
// is cleared first. Lengths are laid out at the resolution Qt's text layout assumes, so
// the document prints at the sizes the file gives whatever the printer's resolution.
// A termination signal stops the building part way: false, with kReportInterrupted in
// `reason` if given.
[[nodiscard]] bool BuildTextDocument(const FormattedDocument& source, QTextDocument& target,
                                     std::string* reason = nullptr);

// A page smaller than this cannot hold a report (5 cm either way, in twips), nor an area
// inside the margins smaller than this (2.5 cm).
inline constexpr int kMinPaperTwips = 2835;
inline constexpr int kMinTextTwips = 1417;
// Notes for the diagnostics list when the template's page cannot hold text.
inline constexpr const char* kTemplatePaperTooSmall =
    "Страница шаблона отчёта меньше 5 x 5 см: отчёт печатается на бумаге принтера";
inline constexpr const char* kTemplateMarginsTooWide =
    "Поля шаблона отчёта оставляют для текста меньше 2,5 x 2,5 см: отчёт печатается с полями принтера";

// The page the document asks for: its paper size and orientation (when it sets them,
// else those of `current`) and its margins. A paper below kMinPaperTwips keeps the paper
// of `current`, margins that leave less than kMinTextTwips for text keep its margins;
// each such case adds its note to `notes`.
QPageLayout DocumentPageLayout(const FormattedDocument& source, const QPageLayout& current,
                               std::vector<std::string>* notes = nullptr);

// The text of a document that BuildTextDocument made, as lines: a paragraph and a forced
// line break end a line, the cells of a table row are joined by TAB, pictures give no
// text. The same lines as PlainLines of the source.
QStringList TextDocumentLines(const QTextDocument& document);

}  // namespace qel
