// foldview.dat: the captions of the offline browser's watched folders.
#include "FuzzSupport.h"

#include "store/WatchedFoldersFile.h"

using namespace trv;

std::vector<std::string> trv::fuzz::fuzzSeeds() {
    return {"/tmp\r\n_folder2\r\n/\r\n_folder4\r\n_folder5\r\n", "/tmp,with comma\n", ""};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string folder = fuzz::freshFolder();
    fuzz::writeInput(kWatchedFoldersFileName, data, size);
    const WatchedFolders captions = readWatchedFolders(folder);
    for (const std::string& c : captions)
        fuzz::require(!c.empty(), "every caption has a text");
    return 0;
}
