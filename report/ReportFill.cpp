#include "ReportFill.h"

#include "ProgramFolders.h"
#include "LocalTime.h"
#include "Regional.h"
#include "RtfReader.h"

namespace qel {

namespace {

// Replaced in the formatted document: the text comes out as the plain-text round trip
// (get text, ReplaceText with ReplaceAll, set text) would give it, with the formatting kept.
void FillPlaceholder(RichTextDocument& document, const char* placeholder, const std::string& value) {
    document.Replace(placeholder, value);
}

}  // namespace

std::string ReportTemplatePath(const ProgramFolders& folders) { return FindProgramFile(folders, kReportTemplateName); }

void FillReport(RichTextDocument& document, const ReportValues& values) {
    FillPlaceholder(document, kNamePlaceholder, values.Name);
    FillPlaceholder(document, kNumberPlaceholder, values.Number);
    const LocalMoment taken = values.Taken.value_or(NowLocal());
    FillPlaceholder(document, kTimePlaceholder, LongTimeText(taken));
    FillPlaceholder(document, kDatePlaceholder, ShortDateText(taken));
    FillPlaceholder(document, kDosePlaceholder, values.Dose);
}

}  // namespace qel
