// Changes a few of an acquisition run's hooks, file writers or controls in a
// test and keeps the others as they were.
#pragma once

#include "acquisition/AcquisitionRun.h"

#include <utility>

namespace trv::test {

template <typename Edit> void withHooks(AcquisitionRun& run, Edit edit) {
    RunHooks h = run.hooks();
    edit(h);
    run.setHooks(std::move(h));
}

template <typename Edit> void withFileWriters(AcquisitionRun& run, Edit edit) {
    RunFileWriters w = run.fileWriters();
    edit(w);
    run.setFileWriters(std::move(w));
}

template <typename Edit> void withControls(AcquisitionRun& run, Edit edit) {
    RunControls c = run.controls();
    edit(c);
    run.setControls(std::move(c));
}

} // namespace trv::test
