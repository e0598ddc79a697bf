// The record of a QEL-1M reading: its fields, its line and the shared record counter.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <string_view>

#include "Qel1mRecord.h"
#include "RecordLine.h"
#include "RecordNumberCounter.h"
#include "Regional.h"
#include "RussianFixedTime.h"

namespace qel {
namespace {

// Records built as a control window builds them: numbered from the program's counter; the
// latest one built is kept here to look at its fields.
class Qel1mRecordTest : public ::testing::Test {
protected:
    std::string Build(int deviceNumber, const LocalMoment& now, std::string_view shown) {
        RecordFields = BuildQel1mRecord(deviceNumber, recordNumbers.Take(), now, shown);
        return JoinRecordLine(RecordFields);
    }
    test::RussianFixedTime russian;
    RecordNumberCounter recordNumbers;
    int32_t& NextRecordNumber = recordNumbers.NextRecordNumber;
    RecordFieldsData RecordFields;
};

TEST_F(Qel1mRecordTest, KnownClockAndValueGiveTheWholeRecord) {
    const std::string line = Build(1, test::FixedMoment(), "1,23");
    EXPECT_EQ(line, "00001 00001 09:05 03.03.26 00001,230");
    EXPECT_EQ(RecordFields.DeviceNumberText, "00001");
    EXPECT_EQ(RecordFields.RecordNumberText, "00001");
    EXPECT_EQ(RecordFields.TimeText, "09:05");
    EXPECT_EQ(RecordFields.DateText, "03.03.26");
    EXPECT_EQ(RecordFields.DoseText, "00001,230");
    EXPECT_EQ(RecordFields.FileDateText, "030326");
    EXPECT_EQ(RecordFields.FileNumberText, "001");
    EXPECT_EQ(NextRecordNumber, 2);
}

TEST_F(Qel1mRecordTest, CounterIsSharedByBothDevicesAndOnlyGrows) {
    EXPECT_EQ(Build(1, test::FixedMoment(), "5"), "00001 00001 09:05 03.03.26 00005");
    EXPECT_EQ(Build(2, test::FixedMoment(), "5"), "00002 00002 09:05 03.03.26 00005");
    EXPECT_EQ(Build(1, test::FixedMoment(), "5"), "00001 00003 09:05 03.03.26 00005");
    EXPECT_EQ(RecordFields.FileNumberText, "003");
}

TEST_F(Qel1mRecordTest, RecordNumbersKeepEveryDigitPastTheirWidth) {
    NextRecordNumber = 1000;
    Build(1, test::FixedMoment(), "1");
    EXPECT_EQ(RecordFields.RecordNumberText, "01000");
    EXPECT_EQ(RecordFields.FileNumberText, "1000");
    NextRecordNumber = 123456;
    Build(1, test::FixedMoment(), "1");
    EXPECT_EQ(RecordFields.RecordNumberText, "123456");
    EXPECT_EQ(RecordFields.FileNumberText, "123456");
}

TEST_F(Qel1mRecordTest, CounterWrapsInsteadOfOverflowing) {
    NextRecordNumber = INT32_MAX;
    Build(1, test::FixedMoment(), "1");
    EXPECT_EQ(RecordFields.RecordNumberText, "2147483647");
    EXPECT_EQ(NextRecordNumber, INT32_MIN);
}

TEST_F(Qel1mRecordTest, DateAndTimePartsArePaddedAndTheYearCut) {
    Build(1, LocalMoment{2005, 12, 31, 23, 59, 59}, "1");
    EXPECT_EQ(RecordFields.TimeText, "23:59");
    EXPECT_EQ(RecordFields.DateText, "31.12.05");
    EXPECT_EQ(RecordFields.FileDateText, "311205");
    Build(1, LocalMoment{7, 1, 2, 0, 0, 0}, "1");  // a year of one digit is padded
    EXPECT_EQ(RecordFields.TimeText, "00:00");
    EXPECT_EQ(RecordFields.DateText, "02.01.07");
    Build(1, LocalMoment{12026, 1, 2, 0, 0, 0}, "1");  // only a 4-digit year is cut
    EXPECT_EQ(RecordFields.DateText, "02.01.12026");
}

TEST_F(Qel1mRecordTest, SeparatorsFollowTheRegionalSettings) {
    SetRegional(FallbackRegionalSettings());
    EXPECT_EQ(Build(2, test::FixedMoment(), "12,5"), "00002 00001 09:05 03/03/26 00012.500");
}

TEST(Qel1mDoseText, FractionSeparatorIsEitherMarkAndTheRegionalOneIsWritten) {
    test::RussianFixedTime russian;
    EXPECT_EQ(Qel1mDoseText("12,5"), "00012,500");
    EXPECT_EQ(Qel1mDoseText("12.5"), "00012,500");
    EXPECT_EQ(Qel1mDoseText("0,001"), "00000,001");
    EXPECT_EQ(Qel1mDoseText("10,2345"), "00010,2345");
    EXPECT_EQ(Qel1mDoseText("123456,7"), "123456,700");
    // The later of the first "." and the first "," splits the text.
    EXPECT_EQ(Qel1mDoseText("1.2,3"), "001.2,300");
    EXPECT_EQ(Qel1mDoseText("1,2.3"), "001,2,300");
    EXPECT_EQ(Qel1mDoseText(",5"), "00000,500");
    EXPECT_EQ(Qel1mDoseText("5,"), "00005,000");
}

TEST(Qel1mDoseText, WholeNumbersAndScientificTextsHaveNoFraction) {
    test::RussianFixedTime russian;
    EXPECT_EQ(Qel1mDoseText("7"), "00007");
    EXPECT_EQ(Qel1mDoseText(""), "00000");
    EXPECT_EQ(Qel1mDoseText("1E31"), "01E31");
    EXPECT_EQ(Qel1mDoseText("1234567"), "1234567");
}

TEST(Qel1mDoseText, FractionIsCutAfter200Characters) {
    test::RussianFixedTime russian;
    const std::string digits(250, '7');
    EXPECT_EQ(Qel1mDoseText("1," + digits), "00001," + std::string(200, '7'));
    // The cut counts characters: a multi-byte character is kept whole or left out whole.
    const std::string wide = std::string(199, '1') + "ф" + "ф";
    EXPECT_EQ(Qel1mDoseText("1," + wide), "00001," + std::string(199, '1') + "ф");
}

}  // namespace
}  // namespace qel
