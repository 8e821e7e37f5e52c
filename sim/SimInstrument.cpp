#include "SimInstrument.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace trv::sim {

namespace {

using Steady = std::chrono::steady_clock;

// 115200 baud, one start bit, eight data bits, one stop bit.
constexpr auto kByteTime = std::chrono::nanoseconds(1'000'000'000LL * 10 / 115200);
constexpr int kPacedChunk = 16;

std::string errnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

void setRaw(int fd) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return;
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, B115200);
    ::cfsetospeed(&t, B115200);
    ::tcsetattr(fd, TCSANOW, &t);
}

} // namespace

SimInstrument::SimInstrument(SimOptions options)
    : opt_(std::move(options)), model_(opt_.model), faults_(opt_.faults),
      identification_(opt_.identification) {}

SimInstrument::~SimInstrument() {
    stop();
}

bool SimInstrument::start(std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        if (slaveKeep_ >= 0) ::close(slaveKeep_);
        if (master_ >= 0) ::close(master_);
        for (int& fd : wake_)
            if (fd >= 0) ::close(fd), fd = -1;
        slaveKeep_ = master_ = -1;
        return false;
    };
    if (running_) return true;

    linkPath_ = opt_.linkPath;
    if (linkPath_.empty()) {
        const char* dir = std::getenv("TRELVANE_COM_DIR");
        if (!dir || !*dir) return fail("TRELVANE_COM_DIR is not set and no link path was given");
        ::mkdir(dir, 0755);
        linkPath_ = std::string(dir) + "/COM" + std::to_string(opt_.port);
    }

    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) return fail(errnoText("posix_openpt"));
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return fail(errnoText("unlockpt"));
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0) return fail(errnoText("ptsname"));
    devicePath_ = name;
    // Holding the slave open keeps the pty alive between the program's opens
    // and closes, so the master never sees a hang-up.
    slaveKeep_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveKeep_ < 0) return fail(errnoText("open " + devicePath_));
    setRaw(slaveKeep_);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) return fail(errnoText("pipe"));

    struct stat st {};
    if (::lstat(linkPath_.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) return fail(linkPath_ + " exists and is not a link");
        ::unlink(linkPath_.c_str()); // a link left behind by an earlier run
    }
    if (::symlink(devicePath_.c_str(), linkPath_.c_str()) != 0)
        return fail(errnoText("link " + linkPath_));

    started_ = Steady::now();
    lineFreeAt_ = started_;
    stopping_ = false;
    running_ = true;
    thread_ = std::thread([this] { run(); });
    return true;
}

void SimInstrument::stop() {
    if (!running_) return;
    stopping_ = true;
    const char c = 'x';
    [[maybe_unused]] ssize_t w = ::write(wake_[1], &c, 1);
    if (thread_.joinable()) thread_.join();
    running_ = false;
    // Remove the link only while it still points at this instrument.
    char target[256];
    const ssize_t n = ::readlink(linkPath_.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<size_t>(n)) == devicePath_)
        ::unlink(linkPath_.c_str());
    ::close(slaveKeep_);
    ::close(master_);
    ::close(wake_[0]);
    ::close(wake_[1]);
    slaveKeep_ = master_ = wake_[0] = wake_[1] = -1;
}

// ---- the protocol thread -------------------------------------------------

void SimInstrument::run() {
    std::vector<uint8_t> pending;
    uint8_t buf[512];
    while (!stopping_) {
        pollfd p[2] = {{master_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        const int r = ::poll(p, 2, -1);
        if (r < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (p[1].revents) break;
        if (!(p[0].revents & POLLIN)) {
            // Hang-up without data cannot happen while the slave is held
            // open; guard against spinning anyway.
            if (p[0].revents) waitInterruptible(std::chrono::milliseconds(10));
            continue;
        }
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n <= 0) continue;
        pending.insert(pending.end(), buf, buf + n);
        // Frames: FF x x x F0. Anything else is skipped up to the next FF.
        size_t i = 0;
        while (pending.size() - i >= 5 && !stopping_) {
            if (pending[i] != 0xFF || pending[i + 4] != 0xF0) {
                ++i;
                continue;
            }
            Frame f{pending[i], pending[i + 1], pending[i + 2], pending[i + 3], pending[i + 4]};
            i += 5;
            handleFrame(f);
        }
        pending.erase(pending.begin(), pending.begin() + static_cast<long>(i));
        // Keep at most a partial frame waiting.
        while (!pending.empty() && pending.front() != 0xFF)
            pending.erase(pending.begin());
    }
}

void SimInstrument::handleFrame(const Frame& f) {
    std::vector<uint8_t> reply;
    bool send = false;
    int lateMs = 0;
    {
        std::lock_guard lock(mutex_);
        frames_.push_back(f);
        while (frames_.size() > opt_.recordLimit)
            frames_.pop_front();
        ++framesReceived_;
        framesCv_.notify_all();

        reply = answer(f, send);
        if (faults_.silentAfter >= 0 && framesReceived_ > faults_.silentAfter) send = false;
        if (send && faults_.dropNext > 0) {
            --faults_.dropNext;
            send = false;
        }
        if (send && faults_.shortNext > 0) {
            --faults_.shortNext;
            const size_t len =
                faults_.shortLength < 0
                    ? (reply.empty() ? 0 : reply.size() - 1)
                    : std::min(reply.size(), static_cast<size_t>(faults_.shortLength));
            reply.resize(len);
        }
        lateMs = faults_.lateMs;
        if (send && f[2] == 0x30 && !reply.empty()) {
            SentSample e;
            e.request = framesReceived_;
            e.groupStart = f[3];
            e.complete = reply.size() == 192;
            e.badHigh = lastBadHigh_;
            for (size_t k = 0; k < e.values.size() && 2 * k + 1 < reply.size(); ++k)
                e.values[k] = static_cast<int16_t>(reply[2 * k] << 8 | reply[2 * k + 1]);
            sent_.push_back(e);
        }
    }
    if (!send || reply.empty()) return;
    if (lateMs > 0 && !waitInterruptible(std::chrono::milliseconds(lateMs))) return;
    sendReply(reply);
}

// The reply to one frame (called under the lock). `reply` says whether the
// frame is answered at all.
std::vector<uint8_t> SimInstrument::answer(const Frame& f, bool& reply) {
    reply = false;
    const int bank = f[1], opcode = f[2], operand = f[3];
    if (opt_.clock == SimClock::RealTime)
        model_.advanceTo(std::chrono::duration<double>(Steady::now() - started_).count());
    if (bank == 0x80 || bank == 0x81) {
        // Register write, acknowledged with the register number.
        reply = true;
        if (bank == 0x80 && opcode == faults_.refusedRegister)
            return {static_cast<uint8_t>((opcode + 1) & 0xFF), static_cast<uint8_t>(operand)};
        model_.writeRegister(bank - 0x80, opcode, static_cast<uint8_t>(operand));
        int ack = opcode;
        if (faults_.wrongAckNext > 0) {
            --faults_.wrongAckNext;
            ack = (opcode + 1) & 0xFF;
        }
        return {static_cast<uint8_t>(ack), static_cast<uint8_t>(operand)};
    }
    if (bank != 0x00 && bank != 0x01) return {};
    switch (opcode) {
    case 0x00: // identification
        reply = true;
        if (!faults_.probeReply.empty()) return faults_.probeReply;
        return {static_cast<uint8_t>(identification_ / 255),
                static_cast<uint8_t>(identification_ % 255)};
    case 0x10: // output state, no reply
        model_.setOutputState(operand);
        return {};
    case 0x11: // set all of a bank
        model_.setAll(bank, static_cast<uint8_t>(operand));
        reply = true;
        return {static_cast<uint8_t>(operand), 0};
    case 0x20: { // register read
        int v = model_.readRegister(bank, operand);
        if (bank == 0 && operand == faults_.unstableRegister)
            v = (v + (unstableToggle_++ % 2)) & 0xFF;
        reply = true;
        return {static_cast<uint8_t>(v), 0};
    }
    case 0x21: // temperature sensor
        reply = true;
        return {static_cast<uint8_t>(model_.temperatureReading()), 0};
    case 0x30: { // beam sample of a group
        if (operand > 96) return {};
        reply = true;
        const bool badHigh = faults_.badHighNext > 0;
        if (badHigh) --faults_.badHighNext;
        lastBadHigh_ = badHigh;
        return beamSample(operand, badHigh);
    }
    default:
        return {};
    }
}

void SimInstrument::tickClock(int groupStart) {
    if (opt_.clock == SimClock::RealTime) return; // already moved with the frame
    // A group asked for again starts the next sample.
    if (std::find(groupsThisSample_.begin(), groupsThisSample_.end(), groupStart) !=
        groupsThisSample_.end()) {
        groupsThisSample_.clear();
        model_.advanceTo(model_.time() + opt_.sampleSeconds);
    }
    groupsThisSample_.push_back(groupStart);
}

std::vector<uint8_t> SimInstrument::beamSample(int s, bool badHigh) {
    tickClock(s);
    std::vector<uint8_t> out(192);
    for (int k = 0; k < 96; ++k) {
        const int beam = s + k / 3 + 128 * (k % 3);
        const int v = model_.level(beam);
        out[static_cast<size_t>(2 * k)] = static_cast<uint8_t>(v >> 8);
        out[static_cast<size_t>(2 * k + 1)] = static_cast<uint8_t>(v & 0xFF);
    }
    if (badHigh) out[0] = 0x10;
    return out;
}

bool SimInstrument::waitInterruptible(Steady::duration d) {
    const auto until = Steady::now() + d;
    for (;;) {
        if (stopping_) return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::microseconds>(until - Steady::now());
        if (left.count() <= 0) return true;
        if (left.count() < 2000) {
            // Short waits: sleep precisely rather than through poll's
            // millisecond steps.
            std::this_thread::sleep_until(until);
            return !stopping_;
        }
        pollfd p{wake_[0], POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(left.count() / 1000));
        if (p.revents) return false;
    }
}

bool SimInstrument::sendReply(const std::vector<uint8_t>& bytes) {
    size_t sent = 0;
    Steady::time_point t0{};
    if (opt_.paced) {
        // The request's own five bytes are still on the wire; the reply
        // starts after them, and after any earlier reply.
        t0 = std::max(Steady::now() + 5 * kByteTime, lineFreeAt_);
        lineFreeAt_ = t0 + static_cast<long>(bytes.size()) * kByteTime;
    }
    while (sent < bytes.size()) {
        size_t upTo = bytes.size();
        if (opt_.paced) {
            upTo = std::min(bytes.size(), sent + kPacedChunk);
            if (!waitInterruptible(t0 + static_cast<long>(upTo) * kByteTime - Steady::now()))
                return false;
        }
        while (sent < upTo) {
            const ssize_t w = ::write(master_, bytes.data() + sent, upTo - sent);
            if (w > 0) {
                sent += static_cast<size_t>(w);
                continue;
            }
            if (w < 0 && errno != EAGAIN && errno != EINTR) return false;
            pollfd p[2] = {{master_, POLLOUT, 0}, {wake_[0], POLLIN, 0}};
            ::poll(p, 2, 100);
            if (p[1].revents || stopping_) return false;
        }
    }
    return true;
}

// ---- state access --------------------------------------------------------

SimFaults SimInstrument::faults() const {
    std::lock_guard lock(mutex_);
    return faults_;
}

void SimInstrument::setFaults(const SimFaults& f) {
    std::lock_guard lock(mutex_);
    faults_ = f;
}

void SimInstrument::updateFaults(const std::function<void(SimFaults&)>& change) {
    std::lock_guard lock(mutex_);
    change(faults_);
}

void SimInstrument::setIdentification(int value) {
    std::lock_guard lock(mutex_);
    identification_ = value;
}

std::vector<Frame> SimInstrument::frames() const {
    std::lock_guard lock(mutex_);
    return {frames_.begin(), frames_.end()};
}

size_t SimInstrument::samplesSent() const {
    std::lock_guard lock(mutex_);
    return sent_.size();
}

std::vector<SentSample> SimInstrument::samplesSentSince(size_t from) const {
    std::lock_guard lock(mutex_);
    if (from >= sent_.size()) return {};
    return {sent_.begin() + static_cast<long>(from), sent_.end()};
}

long SimInstrument::framesReceived() const {
    std::lock_guard lock(mutex_);
    return framesReceived_;
}

void SimInstrument::clearFrames() {
    std::lock_guard lock(mutex_);
    frames_.clear();
}

bool SimInstrument::waitForFrames(long count, int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return framesCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return framesReceived_ >= count; });
}

int SimInstrument::outputState() const {
    std::lock_guard lock(mutex_);
    return model_.outputState();
}

uint8_t SimInstrument::beamSetting(int beam) const {
    std::lock_guard lock(mutex_);
    return model_.setting(beam);
}

int SimInstrument::readRegister(int bank, int reg) const {
    std::lock_guard lock(mutex_);
    return model_.readRegister(bank, reg);
}

void SimInstrument::writeRegister(int bank, int reg, uint8_t value) {
    std::lock_guard lock(mutex_);
    model_.writeRegister(bank, reg, value);
}

double SimInstrument::plateTemperature() const {
    std::lock_guard lock(mutex_);
    return model_.plateTemperature();
}

void SimInstrument::setPlateTemperature(double t) {
    std::lock_guard lock(mutex_);
    model_.setPlateTemperature(t);
}

double SimInstrument::simulatedTime() const {
    std::lock_guard lock(mutex_);
    return model_.time();
}

void SimInstrument::advance(double seconds) {
    std::lock_guard lock(mutex_);
    model_.advanceTo(model_.time() + seconds);
}

void SimInstrument::withModel(const std::function<void(SimModel&)>& f) {
    std::lock_guard lock(mutex_);
    f(model_);
}

} // namespace trv::sim
