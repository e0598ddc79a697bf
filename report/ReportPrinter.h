#pragma once
#include <QString>
#include <stdexcept>
#include <string>
#include <vector>

#include "ReportFill.h"

class QPrinter;
class QTextDocument;

namespace qel {

// The printer would not take the report (it could not be opened, or refused a page).
class ReportPrintError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The program is ending (a termination signal came): the report stopped at its next step.
class ReportInterrupted : public ReportPrintError {
public:
    using ReportPrintError::ReportPrintError;
};

inline constexpr const char* kReportPrintFailed = "Не удалось напечатать отчёт";
inline constexpr const char* kReportInterrupted = "Печать отчёта прервана: программа завершается";

// The report of a reading: loads the template at `templatePath` with its formatting
// (within the limits of ReportBudget; plain text when it is not rich text), fills in its
// placeholders, builds the formatted document in `surface` and prints that on `printer`
// as one job titled "Исследование", on the paper, orientation and margins the printer is
// set to: those the user chose in the printer dialog. A template that cannot be loaded,
// or is beyond a limit, raises RtfLoadError before anything is printed; a printer that
// fails raises ReportPrintError; a termination signal raises ReportInterrupted at the
// next step of building or printing.
void PrintReport(QTextDocument& surface, QPrinter& printer, const std::string& templatePath,
                 const ReportValues& values);

// What the printer dialog offers first: the template's paper, orientation and margins,
// set on the printer (a page or margins that cannot hold text excepted; the notes for the
// list that say so are returned). A template that cannot be read leaves the printer as
// it is; the report then says why.
std::vector<std::string> OfferReportPage(QPrinter& printer, const std::string& templatePath);

// Prints a whole document on the printer as one job with the given title, page after page
// across the area inside the printer's page margins. The document is laid out once (a
// layout too tall for Qt's fixed point, thousands of pages, is measured and laid out
// again at a lower resolution); a termination signal raises ReportInterrupted before and
// after the layout and between pages, and the job is then dropped.
void PrintDocument(const QTextDocument& document, QPrinter& printer, const QString& title);

}  // namespace qel
