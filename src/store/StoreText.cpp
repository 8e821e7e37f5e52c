#include "store/StoreText.h"

#include "common/Files.h"
#include "common/TextRecord.h"

namespace trv {

bool isStoreText(std::string_view content) {
    for (char ch : content) {
        auto c = static_cast<unsigned char>(ch);
        if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7f) return false;
    }
    return true;
}

std::optional<std::string> readStoreFile(const std::string& path) {
    auto content = readWholeFile(path, kStoreFileMaxBytes);
    if (!content || !isStoreText(*content)) return std::nullopt;
    return content;
}

std::vector<std::string> splitLines(const std::string& s) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\n' || s[i] == '\r') {
            lines.push_back(s.substr(start, i - start));
            if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    if (start < s.size()) lines.push_back(s.substr(start));
    return lines;
}

std::string storeText(std::string_view text) {
    std::string out = safeTextItem(text);
    for (char& ch : out) {
        auto c = static_cast<unsigned char>(ch);
        if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7f) ch = ' ';
    }
    return out;
}

std::string singleLineName(std::string_view name) {
    std::string out = storeText(name);
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

} // namespace trv
