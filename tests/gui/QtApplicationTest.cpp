// A window action that fails inside its event handler ends with a message,
// and the program's event loop goes on.
#include "app/QtApplication.h"

#include "GuiApplication.h"

#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace trv {
namespace {

TEST(QtApplication, AFailedActionShowsWhyAndTheEventLoopGoesOn) {
    QtApplication& app = test::ensureApplication();
    std::vector<std::string> shown;
    app.showFailure = [&](const std::string& text) { shown.push_back(text); };
    const struct {
        std::function<void()> action;
        std::string message;
    } cases[] = {
        {[] { throw std::bad_alloc(); }, QtApplication::kOutOfMemoryText},
        {[] { throw std::runtime_error("disk gone"); }, "The action failed: disk gone"},
    };
    for (const auto& c : cases) {
        shown.clear();
        bool later = false;
        QTimer::singleShot(0, c.action);
        QTimer::singleShot(1, [&] { later = true; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return later; }, 2000));
        EXPECT_EQ(shown, std::vector<std::string>{c.message});
    }
    app.showFailure = nullptr;
}

} // namespace
} // namespace trv
