// The one-pass reading and writing of a profile text against the single reads and writes
// whose rules the profile-file tests pin: many keys at once must give, byte for byte, what
// one key after the other gives.
#include "ProfileText.h"

#include <gtest/gtest.h>

#include "Cp1251.h"

#include <random>
#include <string>
#include <vector>

namespace qel {
namespace {

std::string WriteOneByOne(const std::string& text, const std::string& section, const ProfileEntries& entries) {
    std::string current = text;
    for (const auto& entry : entries) current = WriteProfileValues(current, section, {entry}).Joined();
    return current;
}

// A random profile text from lines that matter to the rules: the section in several
// spellings, other sections, keys with and without "=", quotes, comments, a broken header,
// blank lines, every kind of line end and sometimes none at the end.
std::string RandomText(std::mt19937& random) {
    static const std::vector<std::string> kLines{
        "[S]", "[s]", " [ S ] ", "[Other]", "[]", "k=v", "K = 'v'", "key", ";k=1", "[broken", "",
        "  ", "a=b=c", "new1=old", "\tk\t=\t\"q\"", "x=1", "[S] trailing", "=empty name", "Ключ=значение"};
    static const std::vector<std::string> kEnds{"\r\n", "\n", "\r"};
    std::string text;
    const int lines = std::uniform_int_distribution<int>(0, 9)(random);
    for (int i = 0; i < lines; ++i) {
        text += kLines[std::uniform_int_distribution<std::size_t>(0, kLines.size() - 1)(random)];
        const bool last = i + 1 == lines;
        if (!last || random() % 3 != 0) text += kEnds[random() % kEnds.size()];
    }
    return text;
}

ProfileEntries RandomEntries(std::mt19937& random, bool plainNames) {
    static const std::vector<std::string> kPlain{"k", "K", "key", "new1", "new2", "a", "x", "", "Ключ", "[open"};
    static const std::vector<std::string> kAny{"k", "new1", ";c", "[s]", "a=b", "[S]x", "new2"};
    static const std::vector<std::string> kValues{"", "1", "v v", "'q'", "=", "[S]"};
    const auto& names = plainNames ? kPlain : kAny;
    ProfileEntries entries;
    const int count = std::uniform_int_distribution<int>(0, 6)(random);
    for (int i = 0; i < count; ++i)
        entries.emplace_back(names[random() % names.size()], kValues[random() % kValues.size()]);
    return entries;
}

TEST(ProfileText, ManyWritesInOnePassEqualTheSingleWritesInTurn) {
    std::mt19937 random(20251208);
    for (int round = 0; round < 4000; ++round) {
        const std::string text = RandomText(random);
        const std::string section = round % 5 == 0 ? "Other" : (round % 7 == 0 ? "New" : "S");
        const ProfileEntries entries = RandomEntries(random, round % 4 != 0);
        std::string trace = "text: " + text + "\nsection: " + section + "\nentries:";
        for (const auto& [k, v] : entries) trace += " [" + k + "=" + v + "]";
        SCOPED_TRACE(trace);
        ASSERT_EQ(WriteProfileValues(text, section, entries).Joined(), WriteOneByOne(text, section, entries));
    }
}

TEST(ProfileText, ManyReadsInOnePassEqualTheSingleReads) {
    std::mt19937 random(7);
    const std::vector<std::string> keys{"k", "K", "key", "a", "x", "", "new1", "Ключ", ";k", "missing"};
    for (int round = 0; round < 2000; ++round) {
        const std::string text = RandomText(random);
        SCOPED_TRACE(text);
        const auto all = FindProfileValues(text, "S", keys);
        ASSERT_EQ(all.size(), keys.size());
        for (std::size_t i = 0; i < keys.size(); ++i)
            ASSERT_EQ(all[i], FindProfileValues(text, "S", {keys[i]}).front()) << keys[i];
    }
}

TEST(ProfileText, TheSettingsOfTheProgramInOnePass) {
    const std::string text =
        "; kept\r\n[Ports]\r\nCOM1=/dev/ttyUSB0\r\n[QEL1_Agent]\r\nRewrite = 1 \r\n\r\n[Other]\r\nName1=x";
    const ProfileRewrite rewrite =
        WriteProfileValues(text, "QEL1_Agent", {{"Con1check", "1"}, {"Rewrite", "0"}, {"Name1", "Кабинет"}});
    EXPECT_EQ(rewrite.Joined(),
              "; kept\r\n[Ports]\r\nCOM1=/dev/ttyUSB0\r\n[QEL1_Agent]\r\nRewrite=0\r\nCon1check=1\r\nName1=Кабинет\r\n"
              "\r\n[Other]\r\nName1=x");
    // The untouched parts are views of the old text, not copies.
    EXPECT_EQ(rewrite.pieces.front().data(), text.data());
    EXPECT_EQ(WriteProfileValues("", "QEL1_Agent", {}).Joined(), "");
}

}  // namespace
// Each value comes with its own line's encoding, and names match in either encoding; a
// replaced line with a non-ASCII name takes the name as written now, so the line has one
// encoding.
TEST(ProfileText, ValuesComeWithTheirLinesEncodingAndNamesMatchInEither) {
    const std::string text = "[Кабинет]\r\n" + Utf8ToCp1251("Имя=Ёлка\r\n") + "Путь=/srv/Данные\r\nA=1\r\n";
    const auto values = FindProfileLineValues(text, Utf8ToCp1251("кабинет"), {Utf8ToCp1251("имя"), "путь", "A", "B"});
    ASSERT_TRUE(values[0] && values[1] && values[2]);
    EXPECT_EQ(values[0]->bytes, Utf8ToCp1251("Ёлка"));
    EXPECT_FALSE(values[0]->utf8);
    EXPECT_EQ(values[1]->bytes, "/srv/Данные");
    EXPECT_TRUE(values[1]->utf8);
    EXPECT_EQ(values[2]->bytes, "1");
    EXPECT_FALSE(values[2]->utf8);
    EXPECT_FALSE(values[3]);
    EXPECT_EQ(WriteProfileValues(text, "Кабинет", {{"Имя", "Ёж"}, {"A", "2"}}).Joined(),
              "[Кабинет]\r\nИмя=Ёж\r\nПуть=/srv/Данные\r\nA=2\r\n");
}

}  // namespace qel
