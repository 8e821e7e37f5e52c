#include "common/Files.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace trv {

std::string joinPath(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    if (a.back() == '/') return a + (b.front() == '/' ? b.substr(1) : b);
    return a + (b.front() == '/' ? b : "/" + b);
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool folderExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool makeFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    return errno == EEXIST && folderExists(path);
}

long long fileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return -1;
    return static_cast<long long>(st.st_size);
}

std::optional<std::string> readWholeFile(const std::string& path, size_t maxBytes) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<unsigned long long>(st.st_size) > maxBytes) {
        ::close(fd);
        return std::nullopt;
    }
    std::string out;
    out.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < out.size()) {
        ssize_t n = ::read(fd, out.data() + got, out.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    out.resize(got);
    ::close(fd);
    return out;
}

static bool writeAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

bool writeFileAtomic(const std::string& path, const std::string& content) {
    std::string tmp = path + ".tmp";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = writeAll(fd, content.data(), content.size()) && ::fdatasync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

bool appendDurable(const std::string& path, const void* data, size_t size) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = writeAll(fd, static_cast<const char*>(data), size) && ::fdatasync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    return ok;
}

bool writePlainFile(const std::string& path, const std::string& text, bool append) {
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
    int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) return false;
    bool ok = writeAll(fd, text.data(), text.size());
    return (::close(fd) == 0) && ok;
}

bool renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the flag: check first (only this program renames
    // inside the program folder).
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0 || errno != ENOENT) return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

int copyFile(const std::string& source, const std::string& destination) {
    auto content = readWholeFile(source, 1ull << 34);
    if (!content) return -1;
    return writeFileAtomic(destination, *content) ? 1 : -1;
}

int countLines(const std::string& path, size_t maxBytes) {
    auto content = readWholeFile(path, maxBytes);
    if (!content) return 0;
    int lines = 0;
    const std::string& s = *content;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\n') {
            ++lines;
        } else if (s[i] == '\r') {
            ++lines;
            if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
        }
    }
    if (!s.empty() && s.back() != '\n' && s.back() != '\r') ++lines;
    return lines;
}

long long freeDiskSpaceMB(const std::string& path) {
    struct statvfs vfs {};
    if (::statvfs(path.c_str(), &vfs) != 0) return -1;
    double bytes = static_cast<double>(vfs.f_bavail) * static_cast<double>(vfs.f_frsize);
    return static_cast<long long>(std::nearbyint(bytes / 1024.0 / 1024.0));
}

static std::vector<std::string> listEntries(const std::string& path, bool folders,
                                            const std::string& pattern) {
    std::vector<std::string> out;
    DIR* d = ::opendir(path.c_str());
    if (!d) return out;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        std::string full = joinPath(path, name);
        if (folders ? !folderExists(full) : !fileExists(full)) continue;
        if (!folders && ::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) != 0) continue;
        out.push_back(name);
    }
    ::closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> listSubfolders(const std::string& path) {
    return listEntries(path, true, "*");
}

std::vector<std::string> listFiles(const std::string& path, const std::string& pattern) {
    return listEntries(path, false, pattern);
}

bool isSafeName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    return name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

std::string executableFolder() {
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string p(buf, static_cast<size_t>(n));
    auto slash = p.rfind('/');
    return slash == std::string::npos ? std::string(".") : p.substr(0, slash);
}

} // namespace trv
