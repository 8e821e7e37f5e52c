// The one application object of the window tests: the program's own
// QApplication class, on the offscreen platform unless another is set.
#pragma once

#include "app/QtApplication.h"

namespace trv::test {

inline QtApplication& ensureApplication() {
    if (auto* app = dynamic_cast<QtApplication*>(QApplication::instance())) return *app;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_gui";
    static char* argv[] = {name, nullptr};
    return *new QtApplication(argc, argv);
}

} // namespace trv::test
