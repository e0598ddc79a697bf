#include "IniFile.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "TestFiles.h"

namespace qel {
namespace {

TEST(ParseProfileInteger, HexadecimalOnlyAfterZeroXAndMoreThanTwoCharacters) {
    EXPECT_EQ(ParseProfileInteger("0x3", -7), 3);
    EXPECT_EQ(ParseProfileInteger("0X1f", -7), 31);
    EXPECT_EQ(ParseProfileInteger("0x7FFFFFFF", -7), INT_MAX);
    for (const char* text : {"0x", "0X", "0x1G", "0x-1", "0x+3", " 0x3", "0x80000000", "x3", "00x3", "-0x3", "0x 3"})
        EXPECT_EQ(ParseProfileInteger(text, -7), -7) << text;
}

TEST(ParseProfileInteger, DecimalWithOptionalSignWithinRange) {
    EXPECT_EQ(ParseProfileInteger("9600", -7), 9600);
    EXPECT_EQ(ParseProfileInteger("007", -7), 7);
    EXPECT_EQ(ParseProfileInteger("+5", -7), 5);
    EXPECT_EQ(ParseProfileInteger("-1", -7), -1);
    EXPECT_EQ(ParseProfileInteger("-0", -7), 0);
    EXPECT_EQ(ParseProfileInteger("2147483647", -7), INT_MAX);
    EXPECT_EQ(ParseProfileInteger("-2147483648", -7), INT_MIN);
    for (const char* text : {"", "-", "+", "true", "1 2", "1.5", "--1", "+-1", "2147483648", "-2147483649",
                             "99999999999999999999999", "１"})
        EXPECT_EQ(ParseProfileInteger(text, -7), -7) << text;
}

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::WriteBytes(ini_.Path(),
                         "[QEL1_Agent]\r\nCon1check=true\r\nCon2check=2\r\nCon1numCOM=0x3\r\nCon1Speed=9600\r\n"
                         "Con2Speed=-1\r\nRewrite=0\r\nSaveFile=\r\nName2=\xCA\xDD\xCB-1\r\nLong=" +
                             std::string(3000, '7') + "\r\n");
    }
    test::TempFolder dir_;
    IniFile ini_{dir_ / "QEL1_Agent.ini"};
};

TEST_F(IniFileTest, TypedReads) {
    const std::string s = "QEL1_Agent";
    EXPECT_FALSE(ini_.ReadBool(s, "Con1check", false));  // a word is no number
    EXPECT_TRUE(ini_.ReadBool(s, "Con1check", true));
    EXPECT_TRUE(ini_.ReadBool(s, "Con2check", false));
    EXPECT_FALSE(ini_.ReadBool(s, "Rewrite", true));
    EXPECT_TRUE(ini_.ReadBool(s, "Con2Speed", false));
    EXPECT_TRUE(ini_.ReadBool(s, "Absent", true));
    EXPECT_EQ(ini_.ReadInteger(s, "Con1numCOM", 1), 3);
    EXPECT_EQ(ini_.ReadInteger(s, "Con1Speed", 1), 9600);
    EXPECT_EQ(ini_.ReadInteger(s, "Con2Speed", 1), -1);
    EXPECT_EQ(ini_.ReadInteger(s, "SaveFile", 4), 4);  // empty value
    EXPECT_EQ(ini_.ReadInteger(s, "Absent", 2), 2);
    EXPECT_EQ(ini_.ReadString(s, "SaveFile", "Data.qel"), "");
    EXPECT_EQ(ini_.ReadString(s, "Absent", "Data.qel"), "Data.qel");
    EXPECT_EQ(ini_.ReadString(s, "Name2", ""), "КЭЛ-1");
    EXPECT_EQ(ini_.ReadString(s, "Long", ""), std::string(2047, '7'));
    EXPECT_EQ(ini_.ReadInteger(s, "Long", 5), 5);
}

TEST_F(IniFileTest, TypedWritesInOrder) {
    IniFile fresh(dir_ / "new.ini");
    ASSERT_TRUE(fresh.WriteBool("QEL1_Agent", "Con1check", true));
    ASSERT_TRUE(fresh.WriteBool("QEL1_Agent", "Con2check", false));
    ASSERT_TRUE(fresh.WriteInteger("QEL1_Agent", "Con1numCOM", 0));
    ASSERT_TRUE(fresh.WriteInteger("QEL1_Agent", "Con1Speed", -1));
    ASSERT_TRUE(fresh.WriteInteger("QEL1_Agent", "Big", INT_MIN));
    ASSERT_TRUE(fresh.WriteString("QEL1_Agent", "Name1", "Кабинет 3"));
    ASSERT_TRUE(fresh.WriteInteger("QEL1_Agent", "Con1Speed", 1));
    EXPECT_EQ(test::ReadBytes(fresh.Path()),
              "[QEL1_Agent]\r\nCon1check=1\r\nCon2check=0\r\nCon1numCOM=0\r\nCon1Speed=1\r\nBig=-2147483648\r\n"
              "Name1=\xCA\xE0\xE1\xE8\xED\xE5\xF2 3\r\n");
    EXPECT_EQ(fresh.ReadInteger("QEL1_Agent", "Big", 0), INT_MIN);
}

TEST_F(IniFileTest, RefusedWriteIsAFailureTheCallerSeesWithItsReason) {
    const std::string before = test::ReadBytes(ini_.Path());
    IniFile throughFile(ini_.Path() + "/x.ini");
    std::string reason;
    EXPECT_FALSE(throughFile.WriteInteger("QEL1_Agent", "Con1check", 1, &reason));
    EXPECT_EQ(reason, "в пути к нему не папка");
    reason.clear();
    EXPECT_FALSE(IniFile("").WriteBool("QEL1_Agent", "Con1check", true, &reason));
    EXPECT_EQ(reason, "нет имени файла");
    IniWrites writes;
    writes.WriteBool("Con1check", true);
    reason.clear();
    EXPECT_FALSE(throughFile.WriteSection("QEL1_Agent", writes, &reason));
    EXPECT_EQ(reason, "в пути к нему не папка");
    EXPECT_EQ(test::ReadBytes(ini_.Path()), before);
}

}  // namespace
}  // namespace qel
