// The ports through which the core reaches the outside, bundled so that core
// procedures take one argument for them. The windows fill it with Qt
// implementations, the command line with plain ones, tests with fakes.
#pragma once

#include "common/Clock.h"
#include "common/Desktop.h"
#include "common/EventPump.h"
#include "common/Locale.h"
#include "common/Prompter.h"
#include "common/StatusView.h"

namespace trv {

struct Ports {
    Prompter& prompter;
    Clock& clock;
    EventPump& pump;
    Desktop& desktop;
    Locale& locale;
    StatusView& status;
};

} // namespace trv
