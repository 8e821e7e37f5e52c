#include "SearchStats.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

namespace trv::test {
namespace {

class StatsPrinter : public ::testing::Environment {
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();

  public:
    void TearDown() override {
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        std::printf("stateful: %ld sequences, %ld actions in %.1f s\n", SearchStats::sequences,
                    SearchStats::actions, s);
    }
};

const auto* registered = ::testing::AddGlobalTestEnvironment(new StatsPrinter);

} // namespace
} // namespace trv::test
