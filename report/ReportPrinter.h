#pragma once
#include <QString>
#include <stdexcept>

#include "ReportFill.h"

class QPrinter;
class QTextDocument;

namespace qel {

// The printer would not take the report (it could not be opened, or refused a page).
class ReportPrintError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kReportPrintFailed = "Не удалось напечатать отчёт";

// The report of a reading: loads "report.rtf" beside the executable with its formatting,
// fills in its placeholders, builds the formatted document in `surface` and prints that on
// `printer` as one job titled "Исследование", on the page size and margins the template
// sets. A template that cannot be loaded raises RtfLoadError before
// anything is printed; a printer that fails raises ReportPrintError.
void PrintReport(QTextDocument& surface, QPrinter& printer, const ReportValues& values);

// Prints a whole document on the printer as one job with the given title, page after page
// across the area inside the printer's page margins.
void PrintDocument(const QTextDocument& document, QPrinter& printer, const QString& title);

}  // namespace qel
