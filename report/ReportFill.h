#pragma once
#include <optional>
#include <string>

#include "LocalTime.h"
#include "ProgramFolders.h"

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
// last poll reply, the value as shown, and the moment the record was taken (the current
// time when there is none).
struct ReportValues {
    std::string Name;
    std::string Number;
    std::string Dose;
    std::optional<LocalMoment> Taken = std::nullopt;
};

// "report.rtf" in the folder of the executable; for an installed program the user's own,
// else the one IT put in the system's settings folder, else the one installed with it.
std::string ReportTemplatePath(const ProgramFolders& folders);

// Replaces the five placeholders in order, every occurrence of each, in the text that the
// step before left (so a device name holding "$<dose>" gets the dose). Time and date are
// those of the moment taken (else of now) in the long time and short date formats. Each step replaces inside the formatted document, so a placeholder keeps the
// look of the text it stands in; the text is the same as taking the document's text out,
// replacing with ReplaceText and putting it back as lines would give.
void FillReport(RichTextDocument& document, const ReportValues& values);

}  // namespace qel
