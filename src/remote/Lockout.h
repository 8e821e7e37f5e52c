// Refusal of addresses that keep presenting wrong tokens: 10 failures from
// one address within a minute shut it out for 5 minutes. Safe to call from
// the server's threads; the table is bounded.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace trv::remote {

class Lockout {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kFailures = 10;
    static constexpr std::chrono::seconds kWindow{60};
    static constexpr std::chrono::seconds kShutOut{300};
    // Addresses remembered at most; the oldest entries make room.
    static constexpr size_t kMaxAddresses = 4096;

    // True while the address is shut out.
    bool locked(const std::string& address, Clock::time_point now);
    // A wrong or missing token from the address; true when this failure
    // shut it out.
    bool failure(const std::string& address, Clock::time_point now);
    size_t addresses() const;

  private:
    struct Entry {
        std::deque<Clock::time_point> failures; // within the window, oldest first
        Clock::time_point lockedUntil{};
        Clock::time_point last{};
    };
    void prune(Clock::time_point now);

    mutable std::mutex mutex_;
    std::map<std::string, Entry> entries_;
};

} // namespace trv::remote
