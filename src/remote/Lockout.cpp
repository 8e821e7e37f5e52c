#include "remote/Lockout.h"

#include <algorithm>

namespace trv::remote {

bool Lockout::locked(const std::string& address, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    const auto it = entries_.find(address);
    return it != entries_.end() && now < it->second.lockedUntil;
}

bool Lockout::failure(const std::string& address, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    if (entries_.size() >= kMaxAddresses && !entries_.count(address)) prune(now);
    Entry& e = entries_[address];
    e.last = now;
    while (!e.failures.empty() && now - e.failures.front() >= kWindow)
        e.failures.pop_front();
    e.failures.push_back(now);
    if (static_cast<int>(e.failures.size()) >= kFailures && now >= e.lockedUntil) {
        e.lockedUntil = now + kShutOut;
        e.failures.clear();
        return true;
    }
    return false;
}

size_t Lockout::addresses() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

// Drops entries neither shut out nor failing within the window, and if the
// table is still full, the least recently seen one.
void Lockout::prune(Clock::time_point now) {
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (now >= it->second.lockedUntil && now - it->second.last >= kWindow)
            it = entries_.erase(it);
        else
            ++it;
    }
    if (entries_.size() >= kMaxAddresses) {
        const auto oldest = std::min_element(entries_.begin(), entries_.end(), [](auto& a, auto& b) {
            return a.second.last < b.second.last;
        });
        entries_.erase(oldest);
    }
}

} // namespace trv::remote
