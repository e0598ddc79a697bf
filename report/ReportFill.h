#pragma once
#include <string>

namespace qel {

class RichTextDocument;

inline constexpr const char* kReportTemplateName = "report.rtf";
inline constexpr const char* kReportJobTitle = "Исследование";

// The placeholders of the report template, in the order they are filled in.
inline constexpr const char* kNamePlaceholder = "$<name>";
inline constexpr const char* kNumberPlaceholder = "$<number>";
inline constexpr const char* kTimePlaceholder = "$<time>";
inline constexpr const char* kDatePlaceholder = "$<date>";
inline constexpr const char* kDosePlaceholder = "$<dose>";

// What the control window gives the report: the device name, the device's number from the
// last poll reply and the value as shown.
struct ReportValues {
    std::string Name;
    std::string Number;
    std::string Dose;
};

// "report.rtf" in the folder of the executable; for an installed program the user's own,
// else the one IT put in the system's settings folder, else the one installed with it.
std::string ReportTemplatePath();

// Replaces the five placeholders in order, every occurrence of each, in the text that the
// step before left (so a device name holding "$<dose>" gets the dose). Time and date are
// the current local time in the long time format and the current date in the short date
// format. Each step replaces inside the formatted document, so a placeholder keeps the
// look of the text it stands in; the text is the same as taking the document's text out,
// replacing with ReplaceText and putting it back as lines would give.
void FillReport(RichTextDocument& document, const ReportValues& values);

}  // namespace qel
