// The time-outs CommOpen gives every port it opens. The defaults suit the
// instrument's line; tests that run thousands of link faults shorten them.
#pragma once

#include "device/ModCOMM.h"

namespace trv {

const CommTimeouts& CommOpenTimeouts();
void SetCommOpenTimeouts(const CommTimeouts& timeouts);

} // namespace trv
