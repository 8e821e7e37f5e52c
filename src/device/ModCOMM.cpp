#include "device/ModCOMM.h"
#include "device/PortTimeouts.h"

#include "common/RunLog.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace trv {

CommErrorRecord CommError;

namespace {

using SteadyClock = std::chrono::steady_clock;

// Entry 0 is never used; ports are 1..16.
std::array<PortEntry, kCommPorts + 1> portTable;
CommTimeouts openTimeouts{100, 0, 500, 1000, 0};

// Line error flags as the instrument software has always reported them.
constexpr unsigned kErrRxOver = 0x1, kErrOverrun = 0x2, kErrParity = 0x4, kErrFrame = 0x8,
                   kErrBreak = 0x10;

bool validPort(int port) {
    return port >= 1 && port <= kCommPorts;
}

std::string upperHex(unsigned v) {
    std::ostringstream s;
    s << std::uppercase << std::hex << v;
    return s.str();
}

// Plain form: code, step label and the system text.
int recordFailure(const char* source, int code) {
    CommError.code = code;
    CommError.source = source;
    CommError.message = SystemErrorText(code);
    return code;
}

// Reads the driver's line error counters and turns what changed since the
// last look into flags (a pty has no counters: no flags).
unsigned takeLineErrors(PortEntry& e) {
    if (e.handle < 0) return 0;
    serial_icounter_struct ic{};
    if (::ioctl(e.handle, TIOCGICOUNT, &ic) != 0) return 0;
    unsigned flags = 0;
    if (ic.buf_overrun != e.counters.bufOverrun) flags |= kErrRxOver;
    if (ic.overrun != e.counters.overrun) flags |= kErrOverrun;
    if (ic.parity != e.counters.parity) flags |= kErrParity;
    if (ic.frame != e.counters.frame) flags |= kErrFrame;
    if (ic.brk != e.counters.brk) flags |= kErrBreak;
    e.counters = {ic.frame, ic.overrun, ic.parity, ic.brk, ic.buf_overrun};
    return flags;
}

// Line form (reads and writes): the plain form plus the line error flags.
void recordLineFailure(PortEntry& e, const char* source, int code) {
    recordFailure(source, code);
    CommError.message += "  COMM Error Flags = " + upperHex(takeLineErrors(e));
    if (!e.failureLogged) {
        e.failureLogged = true;
        const auto port = static_cast<int>(&e - portTable.data());
        runlog::warn("serial port " + std::to_string(port) + ": " + CommError.source + ": " +
                     CommError.message +
                     " (further failures are logged after the next "
                     "complete read)");
    }
}

// An unexpected failure inside an operation: the bare operation name.
int recordUnexpected(const char* source, int code, const std::string& what) {
    CommError.code = code;
    CommError.source = source;
    CommError.message = what.empty() ? SystemErrorText(code) : what;
    return code;
}

int codeOf(const std::exception& ex) {
    if (dynamic_cast<const std::bad_alloc*>(&ex)) return ENOMEM;
    return EINVAL;
}

bool isPseudoTerminal(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    const unsigned maj = major(st.st_rdev);
    return maj >= 136 && maj <= 143; // Unix98 pty slaves
}

speed_t speedFor(long baud) {
    switch (baud) {
    case 110:
        return B110;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 921600:
        return B921600;
    default:
        return B0;
    }
}

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool onOff(const std::string& v, bool& out) {
    if (v == "on")
        out = true;
    else if (v == "off")
        out = false;
    else
        return false;
    return true;
}

// Builds the terminal attributes from the parsed settings: raw bytes, no
// echo, no translation, receiver on, modem status ignored unless handshaking.
void buildAttributes(LineSettings& s) {
    termios& t = s.tio;
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    switch (s.dataBits) {
    case 5:
        t.c_cflag |= CS5;
        break;
    case 6:
        t.c_cflag |= CS6;
        break;
    case 7:
        t.c_cflag |= CS7;
        break;
    default:
        t.c_cflag |= CS8;
        break;
    }
    switch (s.parity) {
    case 'E':
        t.c_cflag |= PARENB;
        break;
    case 'O':
        t.c_cflag |= PARENB | PARODD;
        break;
    case 'M':
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case 'S':
        t.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (s.stopBits == 2) t.c_cflag |= CSTOPB;
    if (s.rtsCts) t.c_cflag |= CRTSCTS;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    if (s.xonXoff) t.c_iflag |= IXON | IXOFF;
    // Reads are driven by poll(); the descriptor is non-blocking.
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    const speed_t sp = speedFor(s.baud);
    ::cfsetispeed(&t, sp);
    ::cfsetospeed(&t, sp);
}

// Time one byte takes on the line: start bit, data bits, parity, stop bits.
long long byteTimeNanos(const LineSettings& s) {
    if (s.baud <= 0) return 0;
    const int bits = 1 + s.dataBits + (s.parity == 'N' ? 0 : 1) + s.stopBits;
    return 1'000'000'000LL * bits / s.baud;
}

int msUntil(SteadyClock::time_point t) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(t - SteadyClock::now());
    if (left.count() <= 0) return 0;
    return static_cast<int>((left.count() + 999) / 1000);
}

// One platform read: up to `want` bytes within the port's time-outs. Returns
// false with `err` set when the call failed; n holds what was delivered.
bool platformRead(PortEntry& e, char* buf, int want, int& n, int& err) {
    n = 0;
    err = 0;
    if (e.handle < 0) {
        err = EBADF;
        return false;
    }
    const CommTimeouts& to = e.timeouts;
    const auto start = SteadyClock::now();
    const auto deadline =
        start + std::chrono::milliseconds(to.readTotalMultiplier * want + to.readTotalConstant);
    SteadyClock::time_point lastByte{};
    const long long byteNanos = byteTimeNanos(e.lineSettings);
    while (n < want) {
        auto until = deadline;
        if (to.readInterval > 0 && n > 0)
            until = std::min(until, lastByte + std::chrono::milliseconds(to.readInterval));
        const int wait = msUntil(until);
        if (wait <= 0) break;
        pollfd p{e.handle, POLLIN, 0};
        const int pr = ::poll(&p, 1, wait);
        if (pr < 0) {
            if (errno == EINTR) continue;
            err = errno;
            return false;
        }
        if (pr == 0) continue; // the loop re-checks the time-outs
        const ssize_t r = ::read(e.handle, buf + n, static_cast<size_t>(want - n));
        if (r > 0) {
            n += static_cast<int>(r);
            lastByte = SteadyClock::now();
            // The rest of a reply cannot come faster than the line carries
            // it: wait for it instead of waking for every few bytes. The
            // wait never reaches past the interval or total time-out.
            if (n < want && byteNanos > 0) {
                auto pause = std::chrono::nanoseconds(byteNanos * (want - n));
                auto limit = deadline;
                if (to.readInterval > 0)
                    limit = std::min(limit, lastByte + std::chrono::milliseconds(to.readInterval));
                pause = std::min(
                    pause,
                    std::chrono::duration_cast<std::chrono::nanoseconds>(limit - lastByte) / 2);
                if (pause.count() > 0) std::this_thread::sleep_for(pause);
            }
            continue;
        }
        if (r < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) {
                err = (p.revents & POLLNVAL) ? EBADF : EIO;
                return false;
            }
            continue;
        }
        if (r == 0) {
            // End of file: the other side has gone; nothing more will come.
            err = EIO;
            return false;
        }
        err = errno;
        return false;
    }
    return true;
}

// One platform write of all of `data` within the write time-out; a time-out
// is not a failure (the count tells what went out).
bool platformWrite(PortEntry& e, const std::string& data, int& n, int& err) {
    n = 0;
    err = 0;
    if (e.handle < 0) {
        err = EBADF;
        return false;
    }
    const int len = static_cast<int>(data.size());
    const CommTimeouts& to = e.timeouts;
    const bool timed = to.writeTotalMultiplier > 0 || to.writeTotalConstant > 0;
    const auto deadline =
        SteadyClock::now() +
        std::chrono::milliseconds(static_cast<long long>(to.writeTotalMultiplier) * len +
                                  to.writeTotalConstant);
    while (n < len) {
        const ssize_t w = ::write(e.handle, data.data() + n, static_cast<size_t>(len - n));
        if (w > 0) {
            n += static_cast<int>(w);
            continue;
        }
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && errno != EAGAIN) {
            err = errno;
            return false;
        }
        const int wait = timed ? msUntil(deadline) : -1;
        if (timed && wait <= 0) break;
        pollfd p{e.handle, POLLOUT, 0};
        const int pr = ::poll(&p, 1, wait);
        if (pr < 0 && errno != EINTR) {
            err = errno;
            return false;
        }
        if (pr > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) && !(p.revents & POLLOUT)) {
            err = (p.revents & POLLNVAL) ? EBADF : EIO;
            return false;
        }
    }
    return true;
}

} // namespace

const PortEntry& CommPortEntry(int port) {
    static const PortEntry none{};
    return validPort(port) ? portTable[static_cast<size_t>(port)] : none;
}

bool CommIsOpen(int port) {
    return validPort(port) && portTable[static_cast<size_t>(port)].isOpen;
}

std::string ResolvePortName(const std::string& name) {
    if (name.size() > 3 && lower(name.substr(0, 3)) == "com" &&
        std::all_of(name.begin() + 3, name.end(),
                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }) &&
        name.size() <= 8) {
        const int n = std::atoi(name.c_str() + 3);
        const char* dir = std::getenv("TRELVANE_COM_DIR");
        if (dir && *dir) return std::string(dir) + "/COM" + std::to_string(n);
        return "/dev/ttyS" + std::to_string(n - 1);
    }
    return name;
}

bool ParseLineSettings(const std::string& text, LineSettings& settings) {
    LineSettings s = settings;
    std::istringstream in(text);
    std::string token;
    bool any = false;
    while (in >> token) {
        const auto eq = token.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == token.size()) return false;
        const std::string key = lower(token.substr(0, eq));
        const std::string value = lower(token.substr(eq + 1));
        bool flag = false;
        if (key == "baud") {
            if (!std::all_of(value.begin(), value.end(),
                             [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }) ||
                value.size() > 7)
                return false;
            s.baud = std::atol(value.c_str());
            if (speedFor(s.baud) == B0) return false;
        } else if (key == "parity") {
            if (value.size() != 1 || std::string("neoms").find(value[0]) == std::string::npos)
                return false;
            s.parity = static_cast<char>(std::toupper(static_cast<unsigned char>(value[0])));
        } else if (key == "data") {
            if (value.size() != 1 || value[0] < '5' || value[0] > '8') return false;
            s.dataBits = value[0] - '0';
        } else if (key == "stop") {
            if (value == "1")
                s.stopBits = 1;
            else if (value == "1.5" || value == "2")
                s.stopBits = 2;
            else
                return false;
        } else if (key == "xon") {
            if (!onOff(value, s.xonXoff)) return false;
        } else if (key == "octs") {
            if (!onOff(value, s.rtsCts)) return false;
        } else if (key == "rts") {
            if (value == "hs")
                s.rtsCts = true;
            else if (value != "on" && value != "off" && value != "tg")
                return false;
        } else if (key == "dtr") {
            if (value != "on" && value != "off" && value != "hs") return false;
        } else if (key == "to" || key == "odsr" || key == "idsr") {
            if (!onOff(value, flag)) return false;
        } else {
            return false;
        }
        any = true;
    }
    if (!any) return false;
    settings = s;
    return true;
}

bool RequestLowLatency(int fd) {
    serial_struct ss{};
    if (::ioctl(fd, TIOCGSERIAL, &ss) != 0) return false;
    if (ss.flags & ASYNC_LOW_LATENCY) return true;
    ss.flags |= ASYNC_LOW_LATENCY;
    return ::ioctl(fd, TIOCSSERIAL, &ss) == 0;
}

const CommTimeouts& CommOpenTimeouts() {
    return openTimeouts;
}

void SetCommOpenTimeouts(const CommTimeouts& timeouts) {
    openTimeouts = timeouts;
}

int CommOpen(int port, const std::string& name, const std::string& settings) {
    if (!validPort(port)) return recordUnexpected("CommOpen", EINVAL, "");
    PortEntry& e = portTable[static_cast<size_t>(port)];
    try {
        if (e.isOpen) {
            CommError.code = -1;
            CommError.source = "CommOpen";
            CommError.message = "Port in use.";
            return -1;
        }

        // Exclusive open of an existing device. flock() keeps out other
        // openers even with privileges; TIOCEXCL keeps out unprivileged ones
        // that do not take the lock.
        const std::string path = ResolvePortName(name);
        int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno == EWOULDBLOCK ? EBUSY : errno;
            ::close(fd);
            fd = -1;
            errno = err;
        }
        if (fd < 0) {
            const int err = errno;
            e.handle = -1;
            return recordFailure("CommOpen (CreateFile)", err);
        }
        if (::isatty(fd)) ::ioctl(fd, TIOCEXCL);
        e.handle = fd;
        e.isOpen = true;
        e.pseudoTerminal = isPseudoTerminal(fd);

        // Queue sizes are the driver's own; what matters is that this is a
        // serial line at all.
        if (!::isatty(fd)) return recordFailure("CommOpen (SetupComm)", ENOTTY);
        if (::tcflush(fd, TCIOFLUSH) != 0) return recordFailure("CommOpen (PurgeComm)", errno);
        e.timeouts = openTimeouts;
        if (::tcgetattr(fd, &e.lineSettings.tio) != 0)
            return recordFailure("CommOpen (GetCommState)", errno);
        if (!ParseLineSettings(settings, e.lineSettings))
            return recordFailure("CommOpen (BuildCommDCB)", EINVAL);
        buildAttributes(e.lineSettings);
        if (::tcsetattr(fd, TCSANOW, &e.lineSettings.tio) != 0)
            return recordFailure("CommOpen (SetCommState)", errno);
        RequestLowLatency(fd);
        e.counters = {};
        takeLineErrors(e); // start counting line errors from now
        return 0;
    } catch (const std::exception& ex) {
        return recordUnexpected("CommOpen", codeOf(ex), ex.what());
    }
}

int CommClose(int port) {
    if (!validPort(port)) return recordUnexpected("CommClose", EINVAL, "");
    PortEntry& e = portTable[static_cast<size_t>(port)];
    if (!e.isOpen) return 0;
    // Give up exclusivity first: another descriptor on the same terminal
    // (the simulator keeps one) would otherwise keep it locked.
    if (e.handle >= 0 && ::isatty(e.handle)) ::ioctl(e.handle, TIOCNXCL);
    const int fd = e.handle;
    // The descriptor number is forgotten either way: the system reuses it,
    // and a later purge, read or write must not reach another file.
    e.handle = -1;
    e.isOpen = false;
    if (::close(fd) != 0 && errno != EINTR) return recordFailure("CommClose (CloseHandle)", errno);
    return 0;
}

int CommFlush(int port) {
    if (!validPort(port)) return recordUnexpected("CommFlush", EINVAL, "");
    const PortEntry& e = portTable[static_cast<size_t>(port)];
    if (::tcflush(e.handle, TCIOFLUSH) != 0) return recordFailure("CommFlush (PurgeComm)", errno);
    return 0;
}

int CommRead(int port, std::string& out, int32_t wanted) {
    out.clear();
    if (wanted <= 0) return 0;
    if (!validPort(port)) {
        recordUnexpected("CommRead", EINVAL, "");
        return 0;
    }
    PortEntry& e = portTable[static_cast<size_t>(port)];
    int total = 0;
    try {
        char buffer[kCommReadBuffer];
        int retries = 0;
        bool lastOk = true;
        int lastErr = 0;
        while (total < wanted && retries < 5) {
            const int want = std::min<int32_t>(wanted - total, kCommReadBuffer);
            int n = 0;
            lastOk = platformRead(e, buffer, want, n, lastErr);
            out.append(buffer, static_cast<size_t>(n));
            total += n;
            // A port that is not open, or a device that failed the read (an
            // adapter unplugged, a hung-up line), gives nothing however long
            // one waits: only a read that timed out is tried again.
            if (e.handle < 0 || !lastOk) break;
            if (total < wanted) {
                ++retries;
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        if (!lastOk) recordLineFailure(e, "CommRead (ReadFile)", lastErr);
    } catch (const std::exception& ex) {
        recordUnexpected("CommRead", codeOf(ex), ex.what());
    }
    // A short reply is discarded with anything behind it. The purge's own
    // failure (a closed port) would only hide the read's, so it is not kept.
    if (total < wanted && e.handle >= 0) ::tcflush(e.handle, TCIOFLUSH);
    if (total == wanted) e.failureLogged = false;
    return total;
}

int CommWrite(int port, const std::string& data) {
    if (!validPort(port)) {
        recordUnexpected("CommWrite", EINVAL, "");
        return 0;
    }
    PortEntry& e = portTable[static_cast<size_t>(port)];
    int n = 0;
    try {
        int err = 0;
        if (!platformWrite(e, data, n, err)) {
            recordLineFailure(e, "CommWrite (WriteFile)", err);
            return -1;
        }
        return n;
    } catch (const std::exception& ex) {
        recordUnexpected("CommWrite", codeOf(ex), ex.what());
        return n;
    }
}

int CommSetLine(int port, int line, int state) {
    if (!validPort(port)) return recordUnexpected("CommSetLine", EINVAL, "");
    const PortEntry& e = portTable[static_cast<size_t>(port)];
    int r = -1;
    int bits = 0;
    switch (line) {
    case 1:
        r = ::ioctl(e.handle, state ? TIOCSBRK : TIOCCBRK);
        break;
    case 2:
        bits = TIOCM_DTR;
        r = ::ioctl(e.handle, state ? TIOCMBIS : TIOCMBIC, &bits);
        break;
    case 3:
        bits = TIOCM_RTS;
        r = ::ioctl(e.handle, state ? TIOCMBIS : TIOCMBIC, &bits);
        break;
    default:
        errno = EINVAL;
        break;
    }
    if (r == 0) return 0;
    const int err = errno;
    // A pseudo-terminal (the simulated instrument, a USB bridge through a
    // pty) has no modem lines; the instrument does not need them to answer.
    if ((line == 2 || line == 3) && e.handle >= 0 && e.pseudoTerminal &&
        (err == ENOTTY || err == EINVAL))
        return 0;
    return recordFailure("CommSetLine (EscapeCommFunction)", err);
}

std::string SystemErrorText(int32_t code) {
    char buf[256] = {0};
    // GNU strerror_r returns the text (possibly a static string).
    const char* text = ::strerror_r(code, buf, sizeof buf);
    std::string s(text ? text : "");
    if (s.size() > 255) s.resize(255);
    const auto nul = s.find('\0');
    if (nul != std::string::npos) s.resize(nul);
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    const auto last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

} // namespace trv
