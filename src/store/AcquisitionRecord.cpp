#include "store/AcquisitionRecord.h"

#include "common/Files.h"
#include "common/Numeric.h"
#include "common/Prompter.h"
#include "common/TextRecord.h"
#include "store/ProjectFile.h"
#include "store/StoreText.h"

#include <ctime>

namespace trv {

bool isAcquisitionFolderName(const std::string& name) {
    return name.size() == 13 && name[8] == '_';
}

std::string subprojFileText(const std::string& name, const std::string& comments) {
    RecordWriter w;
    w.text(singleLineName(name)).end();
    w.text(storeText(comments)).end();
    return w.str();
}

namespace {

// A folder holds a run when it has the run's record or any of its data
// files; the project snapshot alone (a blank reading) does not count.
bool holdsARun(const std::string& folder) {
    return fileExists(joinPath(folder, kSubprojFileName)) || !listFiles(folder, "*.bin").empty();
}

constexpr int kMinutesAhead = 1440; // how far the search for a free minute goes

} // namespace

std::string freeAcquisitionFolderName(const std::string& projectFolder,
                                      const LocalDateTime& start) {
    LocalDateTime minute = start;
    minute.second = minute.millisecond = 0;
    // Half a second into the minute keeps the conversions off its boundary.
    const double first = toSerialDays(minute) + 0.5 / 86400;
    for (int k = 0; k < kMinutesAhead; ++k) {
        const std::string name = acquisitionFolderName(fromSerialDays(first + k / 1440.0));
        const std::string folder = joinPath(projectFolder, name);
        if (!folderExists(folder) || !holdsARun(folder)) return name;
    }
    return "";
}

std::string createAcquisitionFolder(SharedState& s, const LocalDateTime& start,
                                    const std::string& name, const std::string& comments) {
    const std::string projectFolder = s.Project_Folder;
    if (projectFolder.empty()) return "";
    const std::string folderName = freeAcquisitionFolderName(projectFolder, start);
    const std::string folder = joinPath(projectFolder, folderName);
    if (folderName.empty() || !makeFolder(folder)) return "";
    s.Project_Folder = folder;
    bool ok = saveProject(s);
    s.Project_Folder = projectFolder;
    const std::string subproj = joinPath(folder, kSubprojFileName);
    ok = writeFileAtomic(subproj, subprojFileText(name, comments)) && ok;
    return ok ? folderName : "";
}

std::string startFileText(const LocalDateTime& t, int offset) {
    const int a = offset < 0 ? -offset : offset;
    return zeroPadded(t.year, 4) + "-" + zeroPadded(t.month, 2) + "-" + zeroPadded(t.day, 2) +
           "T" + zeroPadded(t.hour, 2) + ":" + zeroPadded(t.minute, 2) + ":" +
           zeroPadded(t.second, 2) + (offset < 0 ? "-" : "+") + zeroPadded(a / 60, 2) + ":" +
           zeroPadded(a % 60, 2) + "\r\n";
}

namespace {

// Minutes east of UTC of a local time, as the computer's time zone gives it.
int utcOffsetMinutes(const LocalDateTime& t) {
    std::tm tmv{};
    tmv.tm_year = t.year - 1900;
    tmv.tm_mon = t.month - 1;
    tmv.tm_mday = t.day;
    tmv.tm_hour = t.hour;
    tmv.tm_min = t.minute;
    tmv.tm_sec = t.second;
    tmv.tm_isdst = -1;
    if (std::mktime(&tmv) == static_cast<std::time_t>(-1)) return 0;
    return static_cast<int>(tmv.tm_gmtoff / 60);
}

} // namespace

bool writeAcquisitionStart(const std::string& folder, const LocalDateTime& start) {
    return writeFileAtomic(joinPath(folder, kStartFileName),
                           startFileText(start, utcOffsetMinutes(start)));
}

std::optional<LocalDateTime> readAcquisitionStart(const std::string& folder) {
    const auto text = readStoreFile(joinPath(folder, kStartFileName));
    // yyyy-mm-ddThh:mm:ss+hh:mm
    constexpr size_t kLength = 25;
    if (!text || text->size() < kLength) return std::nullopt;
    const std::string& x = *text;
    const std::string shape = "dddd-dd-ddTdd:dd:dd?dd:dd";
    for (size_t i = 0; i < kLength; ++i) {
        const char c = x[i];
        const bool ok = shape[i] == 'd'   ? (c >= '0' && c <= '9')
                        : shape[i] == '?' ? (c == '+' || c == '-')
                                          : c == shape[i];
        if (!ok) return std::nullopt;
    }
    if (x.find_first_not_of("\r\n", kLength) != std::string::npos) return std::nullopt;
    auto field = [&](size_t at, size_t len) { return std::stoi(x.substr(at, len)); };
    LocalDateTime t;
    t.year = field(0, 4);
    t.month = field(5, 2);
    t.day = field(8, 2);
    t.hour = field(11, 2);
    t.minute = field(14, 2);
    t.second = field(17, 2);
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.hour > 23 || t.minute > 59 ||
        t.second > 59 || fromSerialDays(toSerialDays(t)).day != t.day)
        return std::nullopt;
    return t;
}

std::optional<LocalDateTime> acquisitionStartTime(const std::string& folder) {
    if (auto t = readAcquisitionStart(folder)) return t;
    const auto slash = folder.find_last_of('/');
    return acquisitionFolderTime(slash == std::string::npos ? folder : folder.substr(slash + 1));
}

std::string readAcquisitionName(const std::string& folder) {
    auto content = readStoreFile(joinPath(folder, kSubprojFileName));
    if (!content) return "";
    try {
        RecordReader r(std::move(*content));
        return r.item();
    } catch (const RecordError&) {
        return "";
    }
}

std::string readAcquisitionComments(const std::string& folder) {
    auto content = readStoreFile(joinPath(folder, kSubprojFileName));
    if (!content) return "";
    std::vector<std::string> lines = splitLines(*content);
    std::string out;
    bool first = true;
    for (size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].empty()) continue;
        std::string line;
        for (char c : lines[i])
            if (c != '"') line += c;
        if (!first) out += "\r\n";
        out += line;
        first = false;
    }
    return out;
}

namespace {

// Rewrites subproj.dat with a new name or new comments, keeping the other
// part; the previous version goes to subproj.bak first.
std::string updateSubproj(const std::string& folder, const std::string* newName,
                          const std::string* newComments, const std::string& done,
                          Prompter& prompter) {
    const std::string path = joinPath(folder, kSubprojFileName);
    const std::string backup = joinPath(folder, kSubprojBackupName);
    if (!fileExists(path)) return done;
    if (copyFile(path, backup) != 1) {
        prompter.show("error");
        return "";
    }
    try {
        auto content = readStoreFile(backup);
        if (!content) return "";
        RecordReader r(std::move(*content));
        std::string name, comments;
        if (newName) {
            r.item();
            comments = r.item();
            name = *newName;
        } else {
            if (r.hasData()) name = r.item();
            comments = *newComments;
        }
        if (!writeFileAtomic(path, subprojFileText(name, comments))) return "";
        return done;
    } catch (const RecordError&) {
        return "";
    }
}

// The first blank of a tags_id.dat line when it is not the first character.
size_t keyEnd(const std::string& line) {
    size_t blank = line.find(' ');
    return (blank == std::string::npos || blank == 0) ? std::string::npos : blank;
}

} // namespace

std::string renameAcquisition(const std::string& folder, const std::string& newName,
                              Prompter& prompter) {
    if (!fileExists(joinPath(folder, kSubprojFileName))) return newName;
    return updateSubproj(folder, &newName, nullptr, singleLineName(newName), prompter);
}

std::string setAcquisitionComments(const std::string& folder, const std::string& comments,
                                   Prompter& prompter) {
    return updateSubproj(folder, nullptr, &comments, "OK", prompter);
}

std::vector<std::string> readTagLines(const std::string& folder) {
    auto content = readStoreFile(joinPath(folder, kTagsFileName));
    if (!content) return {};
    return splitLines(*content);
}

std::string tagTextIn(const std::vector<std::string>& tagLines, const std::string& key) {
    for (const std::string& line : tagLines) {
        size_t end = keyEnd(line);
        if (end == std::string::npos) continue;
        if (line.compare(0, end, key) == 0) return line.substr(end + 1);
    }
    return "";
}

std::string tagTextOf(const std::string& folder, const std::string& key) {
    return tagTextIn(readTagLines(folder), key);
}

TagUpdate updateTags(const std::string& folder, const std::string& key, const std::string& tag) {
    // A key is the text before the first blank of its line: a name holding a
    // blank or a line break could never be found again.
    if (key.empty() || key.find_first_of(" \r\n") != std::string::npos) return TagUpdate::Refused;
    const std::string path = joinPath(folder, kTagsFileName);
    std::vector<std::string> lines;
    if (fileSize(path) >= 0) { // present, perhaps damaged
        auto content = readStoreFile(path);
        if (!content) return TagUpdate::Refused;
        lines = splitLines(*content);
        if (lines.size() > kTagsFileMaxLines) return TagUpdate::Refused;
    }
    bool changed = false;
    bool found = false;
    for (std::string& line : lines) {
        size_t end = keyEnd(line);
        if (end == std::string::npos || line.compare(0, end, key) != 0) continue;
        if (tag.empty()) {
            if (line != key) {
                line = key;
                changed = true;
            }
        } else {
            found = true;
            if (line.find(tag, end + 1) == std::string::npos) {
                line += tag;
                changed = true;
            }
        }
    }
    if (!tag.empty() && !found) {
        lines.push_back(key + " " + tag);
        changed = true;
    }
    if (lines.empty() || !changed) return TagUpdate::Unchanged;
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return writeFileAtomic(path, text) ? TagUpdate::Written : TagUpdate::Refused;
}

std::string keysTaggedWith(const std::string& folder, const std::string& text) {
    std::string out;
    for (const std::string& line : readTagLines(folder)) {
        size_t end = keyEnd(line);
        if (end == std::string::npos) continue;
        if (line.find(text, 1) == std::string::npos) continue;
        if (!out.empty()) out += ' ';
        out += line.substr(0, end);
    }
    return out;
}

} // namespace trv
