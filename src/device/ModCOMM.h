// ModCOMM: the only code that touches a serial port. A process-wide table of
// 16 ports, opened by name with a line-settings text, raw byte reads and
// writes with fixed time-outs, purge, modem lines and break. Failures never
// raise: every operation returns a status or a byte count and records the
// failure in the one CommError record.
//
// Bytes travel in std::string, one char per byte (0..255).
//
// Port names: "COMn" resolves to $TRELVANE_COM_DIR/COMn when that variable is
// set, else to /dev/ttyS<n-1>; any other name is used as a device path as is.
//
// Single-threaded by design (the user-interface thread); nothing is locked.
#pragma once

#include <cstdint>
#include <string>
#include <termios.h>

namespace trv {

inline constexpr int kCommPorts = 16;       // ports 1..16
inline constexpr int kCommReadBuffer = 512; // one platform read at most
inline constexpr const char* kDeviceLineSettings = "baud=115200 parity=N data=8 stop=1";

// The one error record of the serial layer, overwritten by every failure and
// never cleared by success.
struct CommErrorRecord {
    int32_t code = 0;
    std::string source;
    std::string message;
};
extern CommErrorRecord CommError;

// Line settings of a port: what the settings text asked for, and the
// terminal attributes built from it.
struct LineSettings {
    termios tio{};
    long baud = 0;
    char parity = 'N'; // N, E, O, M, S
    int dataBits = 8;  // 5..8
    int stopBits = 1;  // 1 or 2 (1.5 is taken as 2)
    bool xonXoff = false;
    bool rtsCts = false;
};

// Read and write time-outs in milliseconds. Reads give up when no byte came
// for readInterval after the last one, or after readTotalMultiplier x wanted
// + readTotalConstant in all; writes after writeTotalMultiplier x length +
// writeTotalConstant.
struct CommTimeouts {
    int readInterval = 0;
    int readTotalMultiplier = 0;
    int readTotalConstant = 0;
    int writeTotalMultiplier = 0;
    int writeTotalConstant = 0;
};

// Line error counters of the driver, kept to report what changed since the
// last look.
struct LineCounters {
    int frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
};

struct PortEntry {
    int handle = -1; // file descriptor; -1 when not open
    bool isOpen = false;
    LineSettings lineSettings;
    CommTimeouts timeouts;
    bool pseudoTerminal = false; // a pty has no modem lines
    LineCounters counters;
    // A read or write failure was written to the run log; the next one is
    // logged only after a complete read (one line per streak of failures).
    bool failureLogged = false;
};

// The entry of port 1..16 (read-only view; for status and tests).
const PortEntry& CommPortEntry(int port);
bool CommIsOpen(int port);

// Device path for a port name (see above).
std::string ResolvePortName(const std::string& name);

// Parses a settings text such as "baud=115200 parity=N data=8 stop=1" into
// `settings` (keys baud, parity, data, stop, xon, octs, odsr, idsr, dtr, rts,
// to; case does not matter). False when the text is malformed.
bool ParseLineSettings(const std::string& text, LineSettings& settings);

// Opens port `port` (1..16) on device `name` with the settings text. 0 on
// success; -1 when the entry is already open ("Port in use."); else the
// failure code. A failure after the device was opened leaves the entry open:
// the caller closes it.
int CommOpen(int port, const std::string& name, const std::string& settings);

// Asks the serial driver to pass received bytes on at once. A USB serial
// adapter otherwise holds them up to its latency timer (16 ms on common
// chips), and every request-reply exchange of the instrument's link waits
// that long. CommOpen calls it; false where the driver has no such setting
// (a pseudo-terminal), which changes nothing else.
bool RequestLowLatency(int fd);

// 0 on success or when the port was not open, else the failure code.
int CommClose(int port);

// Discards both queues. 0 on success, else the failure code.
int CommFlush(int port);

// Reads up to `wanted` bytes into `out` (replaced). Up to five attempts, each
// one platform read with the port's time-outs; a short result purges the
// port. Returns the number of bytes read.
int CommRead(int port, std::string& out, int32_t wanted);

// Writes all of `data`. Returns the number of bytes written, -1 when the
// write failed at once.
int CommWrite(int port, const std::string& data);

// line 1 = break, 2 = DTR, 3 = RTS; state non-zero sets, zero clears.
// 0 on success, else the failure code.
int CommSetLine(int port, int line, int state);

// Text of a platform error code, without leading or trailing spaces.
std::string SystemErrorText(int32_t code);

} // namespace trv
