#pragma once
#include <QString>
#include <string>
#include <vector>

#include "ReportFill.h"

class QPrinter;
class QTextDocument;

namespace qel {

inline constexpr const char* kReportPrintFailed = "Не удалось напечатать отчёт";
inline constexpr const char* kReportInterrupted = "Печать отчёта прервана: программа завершается";

// The report of a reading: loads the template at `templatePath` with its formatting
// (within the limits of ReportBudget; plain text when it is not rich text), fills in its
// placeholders, builds the formatted document in `surface` and prints that on `printer`
// as one job titled "Исследование", on the paper, orientation and margins the printer is
// set to: those the user chose in the printer dialog. False, with the reason in `reason`
// if given, when the template cannot be loaded or is beyond a limit (before anything is
// printed; RichTextDocument::LoadFromFile says why), when the printer fails
// (kReportPrintFailed), and when a termination signal came: kReportInterrupted, at the
// next step of building or printing.
[[nodiscard]] bool PrintReport(QTextDocument& surface, QPrinter& printer, const std::string& templatePath,
                               const ReportValues& values, std::string* reason = nullptr);

// What the printer dialog offers first: the template's paper, orientation and margins,
// set on the printer (a page or margins that cannot hold text excepted; the notes for the
// list that say so are returned). A template that cannot be read leaves the printer as
// it is; the report then says why.
std::vector<std::string> OfferReportPage(QPrinter& printer, const std::string& templatePath);

// Prints a whole document on the printer as one job with the given title, page after page
// across the area inside the printer's page margins. The document is laid out once (a
// layout too tall for Qt's fixed point, thousands of pages, is measured and laid out
// again at a lower resolution). False, with the reason in `reason` if given, when the
// printer fails or the document is too long to lay out (kReportPrintFailed), and when a
// termination signal came before or after the layout or between pages
// (kReportInterrupted); the job is then dropped.
[[nodiscard]] bool PrintDocument(const QTextDocument& document, QPrinter& printer, const QString& title,
                                 std::string* reason = nullptr);

}  // namespace qel
