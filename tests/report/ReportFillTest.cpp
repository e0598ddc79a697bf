// Filling in the report template's placeholders, and the template shipped with the program.
#include <gtest/gtest.h>

#include <string>

#include "DocumentText.h"
#include "ExecutableFolder.h"
#include "ReportFill.h"
#include "RtfReader.h"
#include "RussianFixedTime.h"
#include "TestFiles.h"

namespace qel {
namespace {

std::string Filled(const std::string& rtf, const ReportValues& values) {
    RichTextDocument document;
    EXPECT_TRUE(document.LoadFromRtf(rtf));
    FillReport(document, values);
    return DocumentText(document);
}

class ReportFillTest : public ::testing::Test {
protected:
    test::RussianFixedTime russian;
};

TEST_F(ReportFillTest, EveryPlaceholderIsReplacedEverywhere) {
    const std::string rtf =
        "{\\rtf1\\ansi\\ansicpg1251 $<name>; $<number>\\par $<time> $<date>\\par $<dose> / $<dose>\\par}";
    EXPECT_EQ(Filled(rtf, {"Кабинет 5", "3.45", "1,23"}),
              "Кабинет 5; 3.45\r\n09:05:07 03.03.2026\r\n1,23 / 1,23\r\n");
}

TEST_F(ReportFillTest, EachStepSearchesWhatTheStepsBeforeLeft) {
    const std::string rtf = "{\\rtf1 [$<name>]\\par}";
    // A name holding "$<dose>" gets the dose; one holding "$<name>" is not replaced again.
    EXPECT_EQ(Filled(rtf, {"A $<dose> B", "1.1", "7"}), "[A 7 B]\r\n");
    EXPECT_EQ(Filled(rtf, {"x$<name>y", "1.1", "7"}), "[x$<name>y]\r\n");
}

TEST_F(ReportFillTest, PlaceholdersAreFilledNameNumberTimeDateDoseInThisOrder) {
    // A value holding other placeholders shows which steps are still to come: those are
    // replaced, the ones already done stay.
    EXPECT_EQ(Filled("{\\rtf1 [$<name>]\\par}", {"{$<number>}{$<time>}", "1.1", "7"}), "[{1.1}{09:05:07}]\r\n");
    EXPECT_EQ(Filled("{\\rtf1 [$<number>]\\par}", {"N", "{$<name>}{$<time>}{$<date>}{$<dose>}", "7"}),
              "[{$<name>}{09:05:07}{03.03.2026}{7}]\r\n");
    EXPECT_EQ(Filled("{\\rtf1 [$<dose>]\\par}", {"N", "1.1", "{$<name>}{$<number>}{$<time>}{$<date>}"}),
              "[{$<name>}{$<number>}{$<time>}{$<date>}]\r\n");
}

TEST_F(ReportFillTest, MatchIsExactAndEmptyValuesLeaveNothing) {
    const std::string rtf = "{\\rtf1 $<NAME> $<Dose> [$<number>] [$<dose>]\\par}";
    EXPECT_EQ(Filled(rtf, {"N", "", ""}), "$<NAME> $<Dose> [] []\r\n");
}

TEST_F(ReportFillTest, PlaceholderSplitAcrossGroupsIsStillFound) {
    EXPECT_EQ(Filled("{\\rtf1 {\\b $<na}{\\i me>}\\par}", {"Прибор", "", ""}), "Прибор\r\n");
}

TEST_F(ReportFillTest, TemplateWithoutPlaceholdersKeepsItsText) {
    EXPECT_EQ(Filled("{\\rtf1\\ansicpg1251 \\'cf\\'f0\\'e8\\par second\\line third}", {"N", "1", "2"}),
              "При\r\nsecond\r\nthird\r\n");
}

TEST(ReportTemplate, PathIsBesideTheExecutable) {
    test::TempFolder dir;
    EXPECT_EQ(ReportTemplatePath(LocateProgramFolders(dir.Path() + "/", FolderEnvironment::FromProcess())),
              dir.Path() + "/report.rtf");
    EXPECT_EQ(ReportTemplatePath(CurrentProgramFolders()), ExecutableFolder() + "report.rtf");
}

// The template the program ships, as the build put it beside the executables.
TEST(ReportTemplate, ShippedTemplateIsRussianAndHoldsEachPlaceholderOnce) {
    RichTextDocument document;
    ASSERT_TRUE(document.LoadFromFile(ReportTemplatePath(CurrentProgramFolders())));
    const std::string text = DocumentText(document);
    EXPECT_NE(text.find("Протокол рентгенологического исследования"), std::string::npos) << text;
    for (const char* placeholder :
         {kNamePlaceholder, kNumberPlaceholder, kTimePlaceholder, kDatePlaceholder, kDosePlaceholder}) {
        const std::size_t at = text.find(placeholder);
        ASSERT_NE(at, std::string::npos) << placeholder;
        EXPECT_EQ(text.find(placeholder, at + 1), std::string::npos) << placeholder;
    }
    test::RussianFixedTime russian;
    FillReport(document, {"Рентген-кабинет 2", "3.45", "12,5"});
    const std::string filled = DocumentText(document);
    EXPECT_EQ(filled.find("$<"), std::string::npos) << filled;
    EXPECT_NE(filled.find("Доза:\t12,5"), std::string::npos) << filled;
    EXPECT_NE(filled.find("Дата измерения:\t03.03.2026"), std::string::npos) << filled;
}

}  // namespace
}  // namespace qel
