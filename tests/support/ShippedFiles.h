#pragma once

// A test's program folder seeded with the files the program ships (data/),
// as an installed program's first start makes it.

#include "common/Files.h"
#include "support/TempDir.h"

#include <string>

namespace trv::test {

inline void seedProgramFolder(const TempDir& home) {
    const std::string data = std::string(TRELVANE_SOURCE_DIR) + "/data";
    for (const std::string& f : listFiles(data))
        copyFile(data + "/" + f, home / f);
}

} // namespace trv::test
