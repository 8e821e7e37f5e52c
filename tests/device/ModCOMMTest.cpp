#include "device/ModCOMM.h"

#include "support/SimPorts.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

using namespace trv;
using namespace trv::test;

namespace {

const std::string kSettings = kDeviceLineSettings;
const std::string kIdentify = bytes({0xFF, 0x00, 0x00, 0x00, 0xF0});

using Ms = std::chrono::milliseconds;

long long elapsedMs(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - since).count();
}

// Bytes waiting in a port's input queue.
int waiting(int port) {
    int n = -1;
    ::ioctl(CommPortEntry(port).handle, FIONREAD, &n);
    return n;
}

// Waits until the instrument's reply has reached the port's input queue.
bool waitForInput(int port, int count) {
    for (int i = 0; i < 200; ++i) {
        if (waiting(port) >= count) return true;
        std::this_thread::sleep_for(Ms(5));
    }
    return false;
}

void poisonError() {
    CommError = {12345, "untouched", "untouched"};
}

} // namespace

TEST(PortNames, ComNamesFollowTheComFolderOrTheSerialDevices) {
    const char* old = std::getenv("TRELVANE_COM_DIR");
    const std::string saved = old ? old : "";
    ::unsetenv("TRELVANE_COM_DIR");
    EXPECT_EQ(ResolvePortName("COM1"), "/dev/ttyS0");
    EXPECT_EQ(ResolvePortName("COM15"), "/dev/ttyS14");
    ::setenv("TRELVANE_COM_DIR", "/tmp/ports", 1);
    EXPECT_EQ(ResolvePortName("COM3"), "/tmp/ports/COM3");
    EXPECT_EQ(ResolvePortName("com12"), "/tmp/ports/COM12");
    // Anything else is a device path already.
    EXPECT_EQ(ResolvePortName("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(ResolvePortName("COMX"), "COMX");
    if (old)
        ::setenv("TRELVANE_COM_DIR", saved.c_str(), 1);
    else
        ::unsetenv("TRELVANE_COM_DIR");
}

TEST(LineSettingsText, InstrumentSettingsParseAndMalformedTextsAreRefused) {
    LineSettings s;
    ASSERT_TRUE(ParseLineSettings("baud=115200 parity=N data=8 stop=1", s));
    EXPECT_EQ(s.baud, 115200);
    EXPECT_EQ(s.parity, 'N');
    EXPECT_EQ(s.dataBits, 8);
    EXPECT_EQ(s.stopBits, 1);
    ASSERT_TRUE(ParseLineSettings("BAUD=9600 PARITY=e DATA=7 STOP=2 xon=on", s));
    EXPECT_EQ(s.baud, 9600);
    EXPECT_EQ(s.parity, 'E');
    EXPECT_EQ(s.stopBits, 2);
    EXPECT_TRUE(s.xonXoff);

    for (const char* bad : {"", "baud=115201", "baud=abc", "parity=X", "data=9", "stop=3",
                            "speed=9600", "baud=", "=8", "baud 115200"}) {
        LineSettings t;
        EXPECT_FALSE(ParseLineSettings(bad, t)) << bad;
    }
}

TEST(CommOpenClose, OpensRawAt115200AndRefusesASecondOpenOfTheSameEntry) {
    SimPorts sims;
    sims.start(3);
    ASSERT_EQ(CommOpen(3, "COM3", kSettings), 0) << CommError.source << " " << CommError.message;
    const PortEntry& e = CommPortEntry(3);
    EXPECT_TRUE(e.isOpen);
    EXPECT_GE(e.handle, 0);
    EXPECT_TRUE(e.pseudoTerminal);
    termios t{};
    ASSERT_EQ(::tcgetattr(e.handle, &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B115200));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(e.timeouts.readInterval, 100);
    EXPECT_EQ(e.timeouts.readTotalConstant, 500);

    const int handle = e.handle;
    EXPECT_EQ(CommOpen(3, "COM3", kSettings), -1);
    EXPECT_EQ(CommError.code, -1);
    EXPECT_EQ(CommError.source, "CommOpen");
    EXPECT_EQ(CommError.message, "Port in use.");
    EXPECT_EQ(CommPortEntry(3).handle, handle); // the open port is left alone
    EXPECT_EQ(CommWrite(3, kIdentify), 5);
    std::string reply;
    EXPECT_EQ(CommRead(3, reply, 2), 2);
    EXPECT_EQ(reply, bytes({0, 96}));

    EXPECT_EQ(CommClose(3), 0);
    EXPECT_FALSE(CommIsOpen(3));
    EXPECT_EQ(CommPortEntry(3).handle, -1);
    // Closing again does nothing and records nothing.
    poisonError();
    EXPECT_EQ(CommClose(3), 0);
    EXPECT_EQ(CommError.source, "untouched");
}

TEST(CommOpenClose, ADeviceHeldByAnotherOpenIsBusyUntilItIsClosed) {
    SimPorts sims;
    sims.start(3);
    ASSERT_EQ(CommOpen(3, "COM3", kSettings), 0);
    // Another entry, same device: the exclusive open refuses it.
    EXPECT_EQ(CommOpen(4, "COM3", kSettings), EBUSY);
    EXPECT_EQ(CommError.source, "CommOpen (CreateFile)");
    EXPECT_EQ(CommError.message, SystemErrorText(EBUSY));
    EXPECT_FALSE(CommIsOpen(4));
    EXPECT_EQ(CommPortEntry(4).handle, -1);
    // Once closed, the device is free again.
    ASSERT_EQ(CommClose(3), 0);
    EXPECT_EQ(CommOpen(4, "COM3", kSettings), 0);
    EXPECT_EQ(CommClose(4), 0);
}

TEST(CommOpenClose, MissingDeviceMalformedSettingsAndNonSerialFilesFailAtTheirSteps) {
    SimPorts sims;
    sims.start(3);

    EXPECT_EQ(CommOpen(9, "COM9", kSettings), ENOENT);
    EXPECT_EQ(CommError.code, ENOENT);
    EXPECT_EQ(CommError.source, "CommOpen (CreateFile)");
    EXPECT_EQ(CommError.message, "No such file or directory");
    EXPECT_FALSE(CommIsOpen(9));

    // Settings are checked after the device is opened: the entry stays open
    // for the caller to close.
    EXPECT_EQ(CommOpen(3, "COM3", "baud=115200 parity=Q data=8 stop=1"), EINVAL);
    EXPECT_EQ(CommError.source, "CommOpen (BuildCommDCB)");
    EXPECT_TRUE(CommIsOpen(3));
    EXPECT_EQ(CommClose(3), 0);
    EXPECT_EQ(CommOpen(3, "COM3", kSettings), 0);

    // A plain file is no serial line.
    const std::string file = sims.dir() + "/COM6";
    ::close(::open(file.c_str(), O_CREAT | O_WRONLY, 0644));
    EXPECT_EQ(CommOpen(6, "COM6", kSettings), ENOTTY);
    EXPECT_EQ(CommError.source, "CommOpen (SetupComm)");
    EXPECT_EQ(CommClose(6), 0);

    // Port numbers outside the table are an unexpected failure of the call.
    EXPECT_EQ(CommOpen(0, "COM3", kSettings), EINVAL);
    EXPECT_EQ(CommError.source, "CommOpen");
    EXPECT_EQ(CommOpen(17, "COM3", kSettings), EINVAL);
    EXPECT_EQ(CommError.source, "CommOpen");
}

TEST(CommOpenClose, AClosedEntryNeverReachesAFileThatReusedItsDescriptor) {
    SimPorts sims;
    sims.start(3);
    ASSERT_EQ(CommOpen(3, "COM3", kSettings), 0);
    const int old = CommPortEntry(3).handle;
    ASSERT_EQ(CommClose(3), 0);
    // The next open file gets the same descriptor number.
    const std::string path = sims.dir() + "/other";
    const int fd = ::open(path.c_str(), O_CREAT | O_RDWR, 0644);
    ASSERT_EQ(fd, old);
    EXPECT_EQ(CommWrite(3, "hello"), -1);
    EXPECT_EQ(CommError.source, "CommWrite (WriteFile)");
    EXPECT_EQ(CommFlush(3), EBADF);
    EXPECT_EQ(CommError.source, "CommFlush (PurgeComm)");
    EXPECT_EQ(::lseek(fd, 0, SEEK_END), 0); // nothing landed in the other file
    ::close(fd);
}

TEST(CommReadWrite, ZeroBytesReturnAtOnceWithoutTouchingThePort) {
    SimPorts sims;
    sims.start(3);
    ASSERT_EQ(CommOpen(3, "COM3", kSettings), 0);
    ASSERT_EQ(CommWrite(3, kIdentify), 5);
    ASSERT_TRUE(waitForInput(3, 2));

    std::string out = "old";
    poisonError();
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(CommRead(3, out, 0), 0);
    EXPECT_LT(elapsedMs(t0), 50);
    EXPECT_EQ(out, "");
    EXPECT_EQ(waiting(3), 2); // the reply is neither read nor purged
    EXPECT_EQ(CommError.source, "untouched");

    EXPECT_EQ(CommRead(3, out, 2), 2);
    EXPECT_EQ(out, bytes({0, 96}));
}

TEST(CommReadWrite, AOneByteAnswerToATwoByteReadTakesFiveAttempts) {
    SimPorts sims;
    auto& sim = sims.start(3);
    sim.updateFaults([](sim::SimFaults& f) { f.probeReply = {0x2A}; });
    ASSERT_EQ(CommOpen(3, "COM3", kSettings), 0);
    ASSERT_EQ(CommWrite(3, kIdentify), 5);
    std::string out;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(CommRead(3, out, 2), 1);
    const auto took = elapsedMs(t0);
    EXPECT_EQ(out, bytes({0x2A}));
    // One attempt ends 100 ms after the byte, four more wait 500 ms each.
    EXPECT_GE(took, 2000);
    EXPECT_LT(took, 5000);
    EXPECT_EQ(waiting(3), 0);

    // The port is fine afterwards.
    sim.updateFaults([](sim::SimFaults& f) { f.probeReply.clear(); });
    ASSERT_EQ(CommWrite(3, kIdentify), 5);
    EXPECT_EQ(CommRead(3, out, 2), 2);
    EXPECT_EQ(out, bytes({0, 96}));
}

TEST(CommReadWrite, FailedReadsAndWritesCarryTheLineErrorFlags) {
    SimPorts sims;
    std::string out = "x";
    EXPECT_EQ(CommRead(12, out, 2), 0); // never opened
    EXPECT_EQ(out, "");
    EXPECT_EQ(CommError.code, EBADF);
    EXPECT_EQ(CommError.source, "CommRead (ReadFile)");
    EXPECT_EQ(CommError.message, SystemErrorText(EBADF) + "  COMM Error Flags = 0");

    EXPECT_EQ(CommWrite(12, kIdentify), -1);
    EXPECT_EQ(CommError.source, "CommWrite (WriteFile)");
    EXPECT_EQ(CommError.message, SystemErrorText(EBADF) + "  COMM Error Flags = 0");
}

TEST(CommFlushAndLines, PurgeDiscardsWaitingBytesAndLinesWorkOnAPseudoTerminal) {
    SimPorts sims;
    sims.start(3);
    ASSERT_EQ(CommOpen(3, "COM3", kSettings), 0);
    ASSERT_EQ(CommWrite(3, kIdentify), 5);
    ASSERT_TRUE(waitForInput(3, 2));
    EXPECT_EQ(CommFlush(3), 0);
    EXPECT_EQ(waiting(3), 0);

    // A pty has no modem lines; DTR and RTS are accepted so the probe works.
    for (int line : {1, 2, 3})
        for (int state : {1, 0})
            EXPECT_EQ(CommSetLine(3, line, state), 0) << line << state;

    EXPECT_EQ(CommSetLine(3, 4, 1), EINVAL);
    EXPECT_EQ(CommError.source, "CommSetLine (EscapeCommFunction)");
    EXPECT_EQ(CommSetLine(3, 0, 0), EINVAL);

    ASSERT_EQ(CommClose(3), 0);
    EXPECT_EQ(CommSetLine(3, 2, 1), EBADF);
    EXPECT_EQ(CommError.source, "CommSetLine (EscapeCommFunction)");
}

TEST(SystemErrorTexts, PlatformTextsWithoutSurroundingSpaces) {
    EXPECT_EQ(SystemErrorText(ENOENT), "No such file or directory");
    EXPECT_EQ(SystemErrorText(EBUSY), "Device or resource busy");
    const std::string unknown = SystemErrorText(99999);
    EXPECT_FALSE(unknown.empty());
    EXPECT_NE(unknown.back(), ' ');
}

// A real UART driver takes the low-latency flag; a pty has no such setting
// and the port still opens (every other test here runs on one).
TEST(ModCOMM, LowLatencyIsAskedWhereTheDriverHasIt) {
    const int fd = ::open("/dev/ttyS0", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    serial_struct before{};
    if (fd < 0 || ::ioctl(fd, TIOCGSERIAL, &before) != 0) {
        if (fd >= 0) ::close(fd);
        GTEST_SKIP() << "no serial driver with settings here";
    }
    serial_struct cleared = before;
    cleared.flags &= ~ASYNC_LOW_LATENCY;
    ::ioctl(fd, TIOCSSERIAL, &cleared);
    EXPECT_TRUE(RequestLowLatency(fd));
    serial_struct after{};
    ASSERT_EQ(::ioctl(fd, TIOCGSERIAL, &after), 0);
    EXPECT_NE(after.flags & ASYNC_LOW_LATENCY, 0);
    ::ioctl(fd, TIOCSSERIAL, &before);
    ::close(fd);

    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    EXPECT_FALSE(RequestLowLatency(slave));
    ::close(slave);
    ::close(master);
}
