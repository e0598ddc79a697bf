#include "LocalTime.h"

#include <ctime>
#include <utility>

#include "LocalTimeSource_p.h"

namespace qel {

namespace {

LocalMoment SystemNow() {
    const time_t now = time(nullptr);
    tm parts{};
    LocalMoment m;
    if (localtime_r(&now, &parts) == nullptr) return m;
    m.year = parts.tm_year + 1900;
    m.month = parts.tm_mon + 1;
    m.day = parts.tm_mday;
    m.hour = parts.tm_hour;
    m.minute = parts.tm_min;
    // A leap second (60) is shown as the last second of the minute.
    m.second = parts.tm_sec > 59 ? 59 : parts.tm_sec;
    return m;
}

std::function<LocalMoment()>& Source() {
    static std::function<LocalMoment()> source;
    return source;
}

}  // namespace

LocalMoment NowLocal() {
    const auto& source = Source();
    return source ? source() : SystemNow();
}

void SetLocalTimeSource(std::function<LocalMoment()> source) { Source() = std::move(source); }

}  // namespace qel
