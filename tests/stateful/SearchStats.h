// How much a search did (sequences run, actions taken), printed when the
// test program ends as "stateful: ..." for scripts/stateful and the ctest log.
// With TRELVANE_STATEFUL_TRACE set every action is printed with the time
// the one before took.
#pragma once

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>

namespace trv::test {

struct SearchStats {
    static inline long sequences = 0;
    static inline long actions = 0;
    // TRELVANE_STATEFUL_SKIP names checks to leave out (comma separated), to
    // look for a second fault while a first one is still being fixed.
    static bool skipped(const char* check) {
        static const std::string skip = [] {
            const char* v = std::getenv("TRELVANE_STATEFUL_SKIP");
            return "," + std::string(v ? v : "") + ",";
        }();
        return skip.find("," + std::string(check) + ",") != std::string::npos;
    }
    template <typename Command> static void trace(const Command& c) {
        static const bool on = std::getenv("TRELVANE_STATEFUL_TRACE") != nullptr;
        if (!on) return;
        static auto last = std::chrono::steady_clock::now();
        const auto now = std::chrono::steady_clock::now();
        std::cerr << " (" << std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count()
                  << " ms)\n  ";
        last = now;
        c.show(std::cerr);
    }
};

} // namespace trv::test
