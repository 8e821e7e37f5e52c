// Local time and blocking pauses; a fake in tests lets long acquisitions run
// in seconds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace trv {

struct LocalDateTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
    bool operator==(const LocalDateTime&) const = default;
};

// Days since 1899-12-30 00:00 with the time of day as the fraction: the
// serial day number in which durations are differences in days
// (x 1440 gives minutes).
double toSerialDays(const LocalDateTime& t);
LocalDateTime fromSerialDays(double days);

// "yyyymmdd_hhmm", the name of an acquisition folder.
std::string acquisitionFolderName(const LocalDateTime& t);
// The start minute an acquisition folder's name gives; nothing when the name
// is not a valid "yyyymmdd_hhmm".
std::optional<LocalDateTime> acquisitionFolderTime(const std::string& name);

class Clock {
  public:
    virtual ~Clock() = default;
    virtual LocalDateTime now() = 0;
    virtual void sleepMs(int ms) = 0;
    double nowDays() { return toSerialDays(now()); }
};

// The computer's local time and real pauses.
class SystemClock : public Clock {
  public:
    LocalDateTime now() override;
    void sleepMs(int ms) override;
};

} // namespace trv
