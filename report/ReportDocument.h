#pragma once
#include <QPageLayout>
#include <QStringList>

#include "FormattedText.h"

class QTextDocument;

namespace qel {

// Builds the printable document of a formatted document: fonts (the named face, then a
// face of the same kind that Linux has), sizes, bold, italic, underline, strike-out and
// colour; paragraph alignment, indents, spacing, tab stops and page breaks; tables with
// their column widths and cell borders; PNG and JPEG pictures at their size. `target`
// is cleared first. Lengths are laid out at the resolution Qt's text layout assumes, so
// the document prints at the sizes the file gives whatever the printer's resolution.
void BuildTextDocument(const FormattedDocument& source, QTextDocument& target);

// The page the document asks for: its paper size (when it sets one, else the paper of
// `current`) and its margins.
QPageLayout DocumentPageLayout(const FormattedDocument& source, const QPageLayout& current);

// The text of a document that BuildTextDocument made, as lines: a paragraph and a forced
// line break end a line, the cells of a table row are joined by TAB, pictures give no
// text. The same lines as PlainLines of the source.
QStringList TextDocumentLines(const QTextDocument& document);

}  // namespace qel
