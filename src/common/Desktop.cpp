#include "common/Desktop.h"

#include "common/Files.h"
#include "common/Prompter.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace trv {

namespace {

pid_t spawn(const std::vector<std::string>& argv) {
    if (argv.empty()) return -1;
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], nullptr, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
    return rc == 0 ? pid : -1;
}

// Waits for the child on a thread of its own, so it never stays a zombie
// however long the viewer runs.
void reapLater(pid_t pid) {
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

} // namespace

bool spawnDetached(const std::vector<std::string>& argv) {
    const pid_t pid = spawn(argv);
    if (pid < 0) return false;
    reapLater(pid);
    return true;
}

bool spawnAndJudge(const std::vector<std::string>& argv, int verdictMs) {
    const pid_t pid = spawn(argv);
    if (pid < 0) return false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(verdictMs);
    for (;;) {
        int status = 0;
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (r < 0 && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= until) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    reapLater(pid);
    return true;
}

bool SystemDesktop::open(const std::string& what) {
    return spawnAndJudge({opener_, what}, verdictMs_);
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
    return open(path);
}

bool SystemDesktop::openFolder(const std::string& path) {
    return open(path);
}

bool SystemDesktop::showInFolder(const std::string& path) {
    auto slash = path.rfind('/');
    return open(slash == std::string::npos ? "." : path.substr(0, slash));
}

bool SystemDesktop::openUrl(const std::string& url) {
    return open(url);
}

bool SystemDesktop::startSelf(const std::vector<std::string>& args) {
    std::vector<std::string> argv{joinPath(executableFolder(), "trelvane")};
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) argv[0] = std::string(buf, static_cast<size_t>(n));
    argv.insert(argv.end(), args.begin(), args.end());
    return spawnDetached(argv);
}

std::string noViewerMessage(const std::string& path) {
    return "No program could be started to show the file. It is here:\r\n" + path;
}

bool openForUser(Desktop& desktop, Prompter& prompter, const std::string& path) {
    if (desktop.openDocument(path)) return true;
    prompter.show(noViewerMessage(path));
    return false;
}

} // namespace trv
