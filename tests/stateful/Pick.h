// One value for an action's argument. RapidCheck scales a range with the
// sequence's size (a short sequence only meets the low end of every range:
// the first lines, the first menu entries, clock jumps backwards only):
// arguments are drawn over their whole range whatever the size, and still
// shrink towards the low end.
#pragma once

#include <rapidcheck.h>

namespace trv::test {

template <typename T> T pick(rc::Gen<T> g) {
    return *rc::gen::resize(rc::kNominalSize, std::move(g));
}

} // namespace trv::test
