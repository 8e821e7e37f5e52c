// A client that knows nothing but the wire: opens a device path raw and
// exchanges bytes with time-outs. Used to check the simulated instrument
// independently of the program's serial layer.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace trv::test {

class RawLink {
  public:
    explicit RawLink(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) return;
        termios t{};
        ::tcgetattr(fd_, &t);
        ::cfmakeraw(&t);
        ::cfsetspeed(&t, B115200);
        ::tcsetattr(fd_, TCSANOW, &t);
    }
    ~RawLink() {
        if (fd_ >= 0) ::close(fd_);
    }
    RawLink(const RawLink&) = delete;
    RawLink& operator=(const RawLink&) = delete;

    bool ok() const { return fd_ >= 0; }

    bool send(const std::vector<uint8_t>& bytes) {
        return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // Reads until `count` bytes came or `timeoutMs` passed.
    std::vector<uint8_t> receive(size_t count, int timeoutMs) {
        std::vector<uint8_t> out;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (out.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            uint8_t buf[512];
            const ssize_t n = ::read(fd_, buf, std::min(sizeof buf, count - out.size()));
            if (n > 0) out.insert(out.end(), buf, buf + n);
        }
        return out;
    }

    std::vector<uint8_t> exchange(const std::vector<uint8_t>& request, size_t count,
                                  int timeoutMs = 1000) {
        send(request);
        return receive(count, timeoutMs);
    }

  private:
    int fd_ = -1;
};

} // namespace trv::test
