#include "Regional.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "TestFiles.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace qel {
namespace {

const LocalMoment kMoment{2005, 12, 31, 9, 45, 7};

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
            had_ = true;
        }
        if (value) ::setenv(name, value, 1);
        else ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (had_) ::setenv(name_.c_str(), old_.c_str(), 1);
        else ::unsetenv(name_.c_str());
    }

private:
    std::string name_, old_;
    bool had_ = false;
};

class RegionalTest : public ::testing::Test {
protected:
    void TearDown() override { SetRegional(FallbackRegionalSettings()); }
};

void ExpectFallback(const RegionalSettings& r) {
    EXPECT_EQ(r.timeSeparator, ':');
    EXPECT_EQ(r.dateSeparator, '/');
    EXPECT_EQ(r.decimalSeparator, '.');
}

TEST_F(RegionalTest, SettingsGivenDirectlyFormatTheTexts) {
    SetRegional(RussianRegionalSettings());
    EXPECT_EQ(Regional().decimalSeparator, ',');
    EXPECT_EQ(Regional().dateSeparator, '.');
    EXPECT_EQ(DateTimeText(kMoment), "31.12.2005 09:45:07");

    SetRegional(FallbackRegionalSettings());
    ExpectFallback(Regional());
    EXPECT_EQ(ShortDateText(kMoment), "12/31/05");
    EXPECT_EQ(LongTimeText(kMoment), "09:45:07");

    RegionalSettings custom;
    custom.shortDateFormat = "%d.%m.%Y г.";  // UTF-8 literals pass through unchanged
    custom.longTimeFormat = "";
    SetRegional(custom);
    EXPECT_EQ(ShortDateText(kMoment), "31.12.2005 г.");
    EXPECT_EQ(LongTimeText(kMoment), "");
}

TEST_F(RegionalTest, WeekdayAndDayOfYearAreThoseOfTheCalendar) {
    RegionalSettings r;
    r.shortDateFormat = "%a %j";
    SetRegional(r);
    EXPECT_EQ(ShortDateText(kMoment), "Sat 365");
    EXPECT_EQ(ShortDateText(LocalMoment{2024, 2, 29, 0, 0, 0}), "Thu 060");
    EXPECT_EQ(ShortDateText(LocalMoment{2000, 1, 1, 0, 0, 0}), "Sat 001");
    EXPECT_EQ(ShortDateText(LocalMoment{1969, 12, 31, 0, 0, 0}), "Wed 365");
}

TEST_F(RegionalTest, CLocaleAndUnknownLocalesGiveTheFallbacks) {
    const std::string globalBefore = std::setlocale(LC_ALL, nullptr);
    for (const char* name : {"C", "POSIX", "xx_NOWHERE.UTF-8"}) {
        SetRegional(RussianRegionalSettings());
        ScopedEnv lcAll("LC_ALL", name);
        LoadRegionalFromSystem();
        ExpectFallback(Regional());
        EXPECT_EQ(Regional().shortDateFormat, "%m/%d/%y") << name;
        EXPECT_EQ(Regional().longTimeFormat, "%H:%M:%S") << name;
        EXPECT_EQ(DateTimeText(kMoment), "12/31/05 09:45:07") << name;
    }
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), globalBefore);
}

// The C library keeps the search list that LOCPATH gives newlocale and never frees it;
// the leak checker is told to look away while such a locale is loaded.
void LoadWithLocalePath() {
#if defined(__SANITIZE_ADDRESS__)
    __lsan_disable();
    LoadRegionalFromSystem();
    __lsan_enable();
#else
    LoadRegionalFromSystem();
#endif
}

// Builds a locale into a private folder with the system's localedef; empty when the
// tool or the locale sources are not installed.
std::string BuildLocale(const test::TempFolder& folder, const std::string& source, const std::string& name) {
    const std::string cmd = "localedef -i " + source + " -f CP1251 " + folder / name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0 ? folder.Path() : std::string();
}

TEST_F(RegionalTest, RussianLocaleInItsOwnCodePage) {
    test::TempFolder folder;
    const std::string locpath = BuildLocale(folder, "ru_RU", "ru_RU.CP1251");
    if (locpath.empty()) GTEST_SKIP() << "localedef or the ru_RU locale source is not installed";
    ScopedEnv path("LOCPATH", locpath.c_str());
    ScopedEnv lcAll("LC_ALL", "ru_RU.CP1251");
    LoadWithLocalePath();
    // Its long time format is "%T", which hides the separator: it is read from a formatted time.
    EXPECT_EQ(Regional().timeSeparator, ':');
    EXPECT_EQ(Regional().dateSeparator, '.');
    EXPECT_EQ(Regional().decimalSeparator, ',');
    EXPECT_EQ(Regional().shortDateFormat, "%d.%m.%Y");
    EXPECT_EQ(DateTimeText(kMoment), "31.12.2005 09:45:07");
}

TEST_F(RegionalTest, NonAsciiSeparatorsCountAsNoneAndTextsComeOutAsUtf8) {
    test::TempFolder folder;
    // Cyrillic literals in the formats, a Cyrillic letter between hours and minutes and a
    // middle dot as the decimal separator, all single bytes in code page 1251.
    const std::string source = folder / "xx_XX";
    std::string def = "comment_char %\nescape_char /\n";
    for (const char* cat : {"LC_IDENTIFICATION", "LC_CTYPE", "LC_COLLATE", "LC_MONETARY", "LC_MESSAGES", "LC_PAPER",
                            "LC_NAME", "LC_ADDRESS", "LC_TELEPHONE", "LC_MEASUREMENT"})
        def += std::string(cat) + "\ncopy \"ru_RU\"\nEND " + cat + "\n";
    def += "LC_NUMERIC\ndecimal_point \"<U00B7>\"\nthousands_sep \"\"\ngrouping -1\nEND LC_NUMERIC\n"
           "LC_TIME\nabday \"Su\";\"Mo\";\"Tu\";\"We\";\"Th\";\"Fr\";\"Sa\"\n"
           "day \"Sun\";\"Mon\";\"Tue\";\"Wed\";\"Thu\";\"Fri\";\"Sat\"\n"
           "abmon \"Jan\";\"Feb\";\"Mar\";\"Apr\";\"May\";\"Jun\";\"Jul\";\"Aug\";\"Sep\";\"Oct\";\"Nov\";\"Dec\"\n"
           "mon \"Jan\";\"Feb\";\"Mar\";\"Apr\";\"May\";\"Jun\";\"Jul\";\"Aug\";\"Sep\";\"Oct\";\"Nov\";\"Dec\"\n"
           "d_t_fmt \"%d.%m.%Y %H:%M\"\nd_fmt \"%d-%m-%Y <U0433>.\"\nt_fmt \"%H<U0447>%M<U043C>%S\"\n"
           "am_pm \"\";\"\"\nt_fmt_ampm \"\"\nEND LC_TIME\n";
    test::WriteBytes(source, def);
    const std::string locpath = BuildLocale(folder, source, "xx_XX.CP1251");
    if (locpath.empty()) GTEST_SKIP() << "localedef or the ru_RU locale source is not installed";
    ScopedEnv path("LOCPATH", locpath.c_str());
    ScopedEnv lcAll("LC_ALL", "xx_XX.CP1251");
    LoadWithLocalePath();
    EXPECT_EQ(Regional().dateSeparator, '-');
    EXPECT_EQ(Regional().timeSeparator, ':');
    EXPECT_EQ(Regional().decimalSeparator, '.');
    EXPECT_EQ(Regional().shortDateFormat, "%d-%m-%Y г.");
    EXPECT_EQ(DateTimeText(kMoment), "31-12-2005 г. 09ч45м07");
}

}  // namespace
}  // namespace qel
