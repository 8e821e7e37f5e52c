#include "common/Desktop.h"

#include "common/Files.h"

#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace trv {

bool spawnDetached(const std::vector<std::string>& argv) {
    if (argv.empty()) return false;
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, args[0], nullptr, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) return false;
    // Reap it without blocking when it ends quickly (xdg-open returns fast).
    int status = 0;
    ::waitpid(pid, &status, WNOHANG);
    return true;
}

std::string fileUri(const std::string& path) {
    std::error_code ec;
    std::string absolute = std::filesystem::absolute(path, ec).string();
    if (ec) absolute = path;
    static const char* hex = "0123456789ABCDEF";
    std::string out = "file://";
    for (char ch : absolute) {
        auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

bool SystemDesktop::openDocument(const std::string& path) {
    return spawnDetached({"xdg-open", path});
}

bool SystemDesktop::openFolder(const std::string& path) {
    return spawnDetached({"xdg-open", path});
}

bool SystemDesktop::showInFolder(const std::string& path) {
    auto slash = path.rfind('/');
    return spawnDetached({"xdg-open", slash == std::string::npos ? "." : path.substr(0, slash)});
}

bool SystemDesktop::openUrl(const std::string& url) {
    return spawnDetached({"xdg-open", url});
}

bool SystemDesktop::startSelf(const std::vector<std::string>& args) {
    std::vector<std::string> argv{joinPath(executableFolder(), "trelvane")};
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) argv[0] = std::string(buf, static_cast<size_t>(n));
    argv.insert(argv.end(), args.begin(), args.end());
    return spawnDetached(argv);
}

} // namespace trv
