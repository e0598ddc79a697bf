#pragma once
#include <string>

#include "LocalTime.h"

namespace qel {

// The user's regional settings as the program uses them. Program-wide: read from the
// C library's locale at start-up (and again on a locale change); tests set them directly.
struct RegionalSettings {
    char timeSeparator = ':';
    char dateSeparator = '/';
    char decimalSeparator = '.';
    std::string shortDateFormat = "%m/%d/%y";  // strftime format of the short date
    std::string longTimeFormat = "%H:%M:%S";   // strftime format of the long time
};

// Russian settings, as a clinic's machine usually has them.
RegionalSettings RussianRegionalSettings();
// What the program uses when the system gives nothing: ":", "/", ".".
RegionalSettings FallbackRegionalSettings();

const RegionalSettings& Regional();
void SetRegional(const RegionalSettings& settings);
// Reads the settings from the environment's locale (LC_ALL, LC_TIME, LC_NUMERIC, LANG)
// without changing the process's global locale.
void LoadRegionalFromSystem();

// Short date and long time texts of a moment (UTF-8), in the current regional formats.
std::string ShortDateText(const LocalMoment& m);
std::string LongTimeText(const LocalMoment& m);
// Short date, one blank, long time: the status texts of the control window.
std::string DateTimeText(const LocalMoment& m);

}  // namespace qel
