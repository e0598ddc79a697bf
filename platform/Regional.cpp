#include "Regional.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string_view>
#include <vector>

namespace qel {

namespace {

// Owns one locale_t; an empty holder means "format in the C locale".
class LocaleHolder {
public:
    LocaleHolder() = default;
    explicit LocaleHolder(locale_t loc) : loc_(loc) {}
    LocaleHolder(const LocaleHolder&) = delete;
    LocaleHolder& operator=(const LocaleHolder&) = delete;
    ~LocaleHolder() { Reset(); }

    void Reset(locale_t loc = nullptr) {
        if (loc_ != nullptr) freelocale(loc_);
        loc_ = loc;
    }
    locale_t Get() const { return loc_; }

private:
    locale_t loc_ = nullptr;
};

struct State {
    RegionalSettings settings = FallbackRegionalSettings();
    // The environment's locale after LoadRegionalFromSystem; empty after SetRegional.
    LocaleHolder systemLocale;
    // The system's formats in the locale's own character set, used with systemLocale.
    std::string nativeDateFormat;
    std::string nativeTimeFormat;
    std::string codeset;
};

State& TheState() {
    static State state;
    return state;
}

locale_t CLocale() {
    static LocaleHolder c(newlocale(LC_ALL_MASK, "C", nullptr));
    return c.Get();
}

bool IsUtf8Codeset(std::string_view codeset) {
    return codeset == "UTF-8" || codeset == "utf-8" || codeset == "UTF8" || codeset == "utf8";
}

bool IsAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Text of the locale's character set as UTF-8; a byte that cannot be converted becomes "?".
std::string ToUtf8(const std::string& text, const std::string& codeset) {
    if (IsAscii(text) || IsUtf8Codeset(codeset)) return text;
    iconv_t cd = iconv_open("UTF-8", codeset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        std::string out = text;
        for (char& c : out)
            if (static_cast<unsigned char>(c) >= 0x80) c = '?';
        return out;
    }
    std::string out;
    std::vector<char> in(text.begin(), text.end());
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char buf[256];
    while (inLeft > 0) {
        char* outPtr = buf;
        std::size_t outLeft = sizeof buf;
        const std::size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buf, static_cast<std::size_t>(outPtr - buf));
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // An invalid or cut sequence: show it as one "?" and go on after it.
            out.push_back('?');
            ++inPtr;
            --inLeft;
        }
    }
    iconv_close(cd);
    return out;
}

// Day of the week (0 = Sunday) and day of the year (0-based) of a calendar date,
// computed directly so that no time zone or mktime normalisation takes part.
long DaysFromCivil(long y, long m, long d) {
    y -= m <= 2 ? 1 : 0;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long mp = (m + 9) % 12;
    const long doy = (153 * mp + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;  // days since 1970-01-01
}

tm BrokenDown(const LocalMoment& m) {
    tm t{};
    t.tm_year = m.year - 1900;
    t.tm_mon = m.month - 1;
    t.tm_mday = m.day;
    t.tm_hour = m.hour;
    t.tm_min = m.minute;
    t.tm_sec = m.second;
    t.tm_isdst = -1;
    if (m.month >= 1 && m.month <= 12) {
        const long days = DaysFromCivil(m.year, m.month, m.day);
        t.tm_wday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
        t.tm_yday = static_cast<int>(days - DaysFromCivil(m.year, 1, 1));
    }
    return t;
}

// strftime_l into a string; an empty result is an empty string.
std::string Format(const std::string& format, const tm& t, locale_t loc) {
    if (format.empty()) return {};
    for (std::size_t size = 128; size <= 16384; size *= 2) {
        std::vector<char> buf(size);
        const std::size_t n = strftime_l(buf.data(), buf.size(), format.c_str(), &t, loc);
        if (n > 0) return std::string(buf.data(), n);
    }
    return {};  // the format gives nothing (or only an empty text)
}

// The separator shown in a formatted date or time: the first character after the first
// digit that is not a digit itself. A character outside ASCII (several bytes in UTF-8, or
// a byte of a legacy character set) counts as no separator.
char SeparatorIn(const std::string& text, char fallback) {
    std::size_t i = 0;
    while (i < text.size() && !(text[i] >= '0' && text[i] <= '9')) ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    if (i >= text.size()) return fallback;
    const auto c = static_cast<unsigned char>(text[i]);
    return c < 0x80 ? static_cast<char>(c) : fallback;
}

char SingleChar(const char* text, char fallback) {
    if (text == nullptr || std::strlen(text) != 1) return fallback;
    const auto c = static_cast<unsigned char>(text[0]);
    return c < 0x80 ? static_cast<char>(c) : fallback;
}

// A known moment whose parts all differ: 2005-12-31 09:45:07, a Saturday.
LocalMoment ProbeMoment() { return LocalMoment{2005, 12, 31, 9, 45, 7}; }

enum class Part { Date, Time };

std::string FormatMoment(Part part, const LocalMoment& m) {
    State& s = TheState();
    const tm t = BrokenDown(m);
    if (s.systemLocale.Get() != nullptr) {
        const std::string& native = part == Part::Date ? s.nativeDateFormat : s.nativeTimeFormat;
        return ToUtf8(Format(native, t, s.systemLocale.Get()), s.codeset);
    }
    // Settings given directly are UTF-8 and are formatted in the C locale; strftime copies
    // their literal bytes unchanged.
    return Format(part == Part::Date ? s.settings.shortDateFormat : s.settings.longTimeFormat, t, CLocale());
}

}  // namespace

RegionalSettings RussianRegionalSettings() {
    RegionalSettings r;
    r.timeSeparator = ':';
    r.dateSeparator = '.';
    r.decimalSeparator = ',';
    r.shortDateFormat = "%d.%m.%Y";
    r.longTimeFormat = "%H:%M:%S";
    return r;
}

RegionalSettings FallbackRegionalSettings() { return RegionalSettings{}; }

const RegionalSettings& Regional() { return TheState().settings; }

void SetRegional(const RegionalSettings& settings) {
    State& s = TheState();
    s.settings = settings;
    s.systemLocale.Reset();
    s.nativeDateFormat.clear();
    s.nativeTimeFormat.clear();
    s.codeset.clear();
}

void LoadRegionalFromSystem() {
    locale_t loc = newlocale(LC_ALL_MASK, "", nullptr);
    if (loc == nullptr) loc = newlocale(LC_ALL_MASK, "C", nullptr);
    if (loc == nullptr) {
        SetRegional(FallbackRegionalSettings());
        return;
    }
    const RegionalSettings fallback = FallbackRegionalSettings();
    const std::string codeset = nl_langinfo_l(CODESET, loc);
    std::string dateFormat = nl_langinfo_l(D_FMT, loc);
    std::string timeFormat = nl_langinfo_l(T_FMT, loc);
    const tm probe = BrokenDown(ProbeMoment());

    RegionalSettings r;
    r.decimalSeparator = SingleChar(nl_langinfo_l(RADIXCHAR, loc), fallback.decimalSeparator);
    r.dateSeparator = SeparatorIn(Format("%x", probe, loc), fallback.dateSeparator);
    r.timeSeparator = SeparatorIn(Format("%X", probe, loc), fallback.timeSeparator);
    if (dateFormat.empty()) dateFormat = fallback.shortDateFormat;
    if (timeFormat.empty()) timeFormat = fallback.longTimeFormat;
    r.shortDateFormat = ToUtf8(dateFormat, codeset);
    r.longTimeFormat = ToUtf8(timeFormat, codeset);

    State& s = TheState();
    s.settings = r;
    s.systemLocale.Reset(loc);
    s.nativeDateFormat = dateFormat;
    s.nativeTimeFormat = timeFormat;
    s.codeset = codeset;
}

std::string ShortDateText(const LocalMoment& m) {
    return FormatMoment(Part::Date, m);
}

std::string LongTimeText(const LocalMoment& m) {
    return FormatMoment(Part::Time, m);
}

std::string DateTimeText(const LocalMoment& m) { return ShortDateText(m) + " " + LongTimeText(m); }

}  // namespace qel
