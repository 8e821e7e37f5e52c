// A program folder with projects and acquisitions for the browser tests.
#pragma once

#include "common/Files.h"
#include "reports/AcquisitionFixture.h"
#include "store/AcquisitionRecord.h"
#include "store/ProjectFile.h"
#include "support/Fakes.h"
#include "support/TempDir.h"

#include <string>

namespace trv::test {

struct BrowserFixture {
    TempDir dir;
    FakePorts fake;
    std::string program = dir.path();

    // A project folder with its setup.dat ("p00001" and the name).
    std::string project(const std::string& folder, const std::string& name, int number = 1) {
        std::string path = joinPath(program, folder);
        makeFolder(path);
        ProjectSetup setup;
        setup.Name = name;
        writeFileAtomic(joinPath(path, kSetupFileName), setupFileText(setup, number));
        return path;
    }

    // An acquisition folder of a project with subproj.dat and, unless told
    // otherwise, a counts.bin of one record whose channels all count
    // `count`.
    std::string acquisition(const std::string& projectFolder, const std::string& folder,
                            const std::string& name, bool withCounts = true, int count = 1) {
        std::string path = joinPath(joinPath(program, projectFolder), folder);
        makeFolder(path);
        writeFileAtomic(joinPath(path, kSubprojFileName), subprojFileText(name, ""));
        if (withCounts)
            writeFileAtomic(
                joinPath(path, "counts.bin"),
                countsRecordBytes(0, std::vector<int16_t>(385, static_cast<int16_t>(count))));
        return path;
    }
};

} // namespace trv::test
