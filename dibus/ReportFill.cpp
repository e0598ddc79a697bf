#include "ReportFill.h"

#include "ProgramFolders.h"
#include "LocalTime.h"
#include "Regional.h"
#include "ReportText.h"
#include "RtfReader.h"

namespace qel {

namespace {

void FillPlaceholder(RichTextDocument& document, const char* placeholder, const std::string& value) {
    document.SetText(ReplaceText(document.GetText(), placeholder, value, ReplaceAll));
}

}  // namespace

std::string ReportTemplatePath() { return FindProgramFile(CurrentProgramFolders(), kReportTemplateName); }

void FillReport(RichTextDocument& document, const ReportValues& values) {
    FillPlaceholder(document, kNamePlaceholder, values.Name);
    FillPlaceholder(document, kNumberPlaceholder, values.Number);
    FillPlaceholder(document, kTimePlaceholder, LongTimeText(NowLocal()));
    FillPlaceholder(document, kDatePlaceholder, ShortDateText(NowLocal()));
    FillPlaceholder(document, kDosePlaceholder, values.Dose);
}

}  // namespace qel
