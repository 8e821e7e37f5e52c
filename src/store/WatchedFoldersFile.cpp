#include "store/WatchedFoldersFile.h"

#include "common/Files.h"
#include "store/StoreText.h"

#include <vector>

namespace trv {

WatchedFolders defaultWatchedFolders() {
    WatchedFolders out;
    for (int i = 0; i < kWatchedFolderCount; ++i)
        out[static_cast<size_t>(i)] = "_folder" + std::to_string(i + 1);
    return out;
}

WatchedFolders readWatchedFolders(const std::string& programFolder) {
    WatchedFolders out = defaultWatchedFolders();
    auto content = readStoreFile(joinPath(programFolder, kWatchedFoldersFileName));
    if (!content) return out;
    std::vector<std::string> lines = splitLines(*content);
    for (size_t i = 0; i < lines.size() && i < out.size(); ++i)
        if (!lines[i].empty() && folderExists(lines[i])) out[i] = lines[i];
    return out;
}

bool writeWatchedFolders(const std::string& programFolder, const WatchedFolders& captions) {
    std::string text;
    for (std::string caption : captions) {
        // One line each, and nothing the reader would take for a damaged file
        // (a path is kept as it is otherwise, double quotes included).
        for (char& c : caption) {
            auto u = static_cast<unsigned char>(c);
            if ((u < 0x20 && c != '\t') || u == 0x7f) c = ' ';
        }
        text += caption + "\r\n";
    }
    return writeFileAtomic(joinPath(programFolder, kWatchedFoldersFileName), text);
}

} // namespace trv
