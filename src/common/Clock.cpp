#include "common/Clock.h"

#include "common/Numeric.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <thread>

namespace trv {

// Days from the civil date to 1970-01-01 (proleptic Gregorian).
static long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

static void civilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long yy = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

static const long long kSerialEpoch = daysFromCivil(1899, 12, 30);

double toSerialDays(const LocalDateTime& t) {
    long long days =
        daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) -
        kSerialEpoch;
    double ms = ((t.hour * 60.0 + t.minute) * 60.0 + t.second) * 1000.0 + t.millisecond;
    return static_cast<double>(days) + ms / 86400000.0;
}

LocalDateTime fromSerialDays(double days) {
    double whole = std::floor(days);
    long long msOfDay = roundHalfEven((days - whole) * 86400000.0);
    long long day = static_cast<long long>(whole);
    if (msOfDay >= 86400000) {
        msOfDay -= 86400000;
        ++day;
    }
    LocalDateTime t;
    civilFromDays(day + kSerialEpoch, t.year, t.month, t.day);
    t.millisecond = static_cast<int>(msOfDay % 1000);
    long long s = msOfDay / 1000;
    t.second = static_cast<int>(s % 60);
    t.minute = static_cast<int>((s / 60) % 60);
    t.hour = static_cast<int>(s / 3600);
    return t;
}

std::string acquisitionFolderName(const LocalDateTime& t) {
    return zeroPadded(t.year, 4) + zeroPadded(t.month, 2) + zeroPadded(t.day, 2) + "_" +
           zeroPadded(t.hour, 2) + zeroPadded(t.minute, 2);
}

std::optional<LocalDateTime> acquisitionFolderTime(const std::string& name) {
    if (name.size() != 13 || name[8] != '_') return std::nullopt;
    for (size_t i = 0; i < name.size(); ++i)
        if (i != 8 && (name[i] < '0' || name[i] > '9')) return std::nullopt;
    auto field = [&](size_t at, size_t len) { return std::stoi(name.substr(at, len)); };
    LocalDateTime t;
    t.year = field(0, 4);
    t.month = field(4, 2);
    t.day = field(6, 2);
    t.hour = field(9, 2);
    t.minute = field(11, 2);
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.hour > 23 || t.minute > 59)
        return std::nullopt;
    // A day past the month's end (20240231) does not come back the same.
    if (fromSerialDays(toSerialDays(t)).day != t.day) return std::nullopt;
    return t;
}

LocalDateTime SystemClock::now() {
    auto tp = std::chrono::system_clock::now();
    std::time_t tt = std::chrono::system_clock::to_time_t(tp);
    std::tm tmv{};
    localtime_r(&tt, &tmv);
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(tp.time_since_epoch()).count() % 1000;
    LocalDateTime t;
    t.year = tmv.tm_year + 1900;
    t.month = tmv.tm_mon + 1;
    t.day = tmv.tm_mday;
    t.hour = tmv.tm_hour;
    t.minute = tmv.tm_min;
    t.second = tmv.tm_sec;
    t.millisecond = static_cast<int>(ms < 0 ? ms + 1000 : ms);
    return t;
}

void SystemClock::sleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace trv
