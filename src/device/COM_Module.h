// COM_Module: the instrument's five-byte command frames (FF bank opcode
// operand F0) and their replies, over the serial channel of ModCOMM. The port
// is the one the connection chose (SharedState::config.Serial_COM); callers
// pass it in.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace trv {

class Clock;
class Prompter;

// Opcodes of the command catalogue.
namespace op {
inline constexpr int Identify = 0x00;        // reply: id = first x 255 + second
inline constexpr int OutputState = 0x10;     // operand: bit0 regulation, bit1 heating, bit2 light
inline constexpr int SetAll = 0x11;          // bank 0 then bank 1: every beam's setting
inline constexpr int ReadRegister = 0x20;    // reply: first byte = register value
inline constexpr int ReadTemperature = 0x21; // reply: first byte = raw sensor reading
inline constexpr int BeamSample = 0x30;      // operand: group start; reply: 192 bytes
} // namespace op

inline constexpr int kWriteBank0 = 0x80; // register write, bank 0 (beams 0..127, factory data)
inline constexpr int kWriteBank1 = 0x81; // register write, bank 1 (beam 128 + register)

inline constexpr int kGroupBeams = 96;
inline constexpr int kBeamSampleBytes = 192;
inline constexpr std::array<int, 4> kGroupStarts{0, 32, 64, 96};

// The five bytes [FF, bank, opcode, operand, F0]; empty when a value does not
// fit in a byte.
std::string DeviceFrame(int opcode, int operand, int bank);

// Sends a frame without reading a reply. 0 when all 5 bytes went out, else -1.
int DeviceSend(int port, int opcode, int operand, int bank);

// Sends a frame and reads a 2-byte reply. The first reply byte (0..255), or
// -1 when nothing came back.
int DeviceQuery(int port, int opcode, int operand, int bank);

// How an acknowledged register write tries again: after nine writes in a
// row whose last reply is not the register, `retries` more rounds, each a
// pause, a temperature-sensor request (it lets the instrument settle),
// another pause and nine writes with a pause after each; the last round may
// purge the port first.
struct AckRetries {
    int retries = 3;
    int pauseMs = 150;
    int afterWriteMs = 100;
    bool purgeLastRound = true;
};

// Writes `value` into register `reg` of the bank byte `bank` (0x80, 0x81)
// and checks the acknowledge (the first reply byte equals the register).
// False when no round was acknowledged or a value does not fit a byte.
bool WriteRegisterWithAck(int port, int bank, int reg, int value, Clock& clock,
                          const AckRetries& retries);

// Acknowledged write of one beam's setting (gain x 32 + power), beams 0..383
// (bank 1 registers from 128 reach beams 256..383). Four passes; pauses go
// through `clock`, the failure message through `prompter`. 1 on success, -1
// on failure.
int WriteChannelSetting(int port, int beam, int power, int gain, Clock& clock, Prompter& prompter);

// One beam-sample reply decoded: value k belongs to beam BeamOfValue(s, k).
struct BeamGroupSample {
    bool valid = false;
    int replyBytes = 0;
    std::array<int16_t, kGroupBeams> values{};
};

// Strict: exactly 192 bytes, a high byte above 15 invalidates the group
// (acquisition). Lenient: 192 bytes or more, high bytes clamped to 15 and the
// group kept (calibration).
enum class BeamDecode { Strict, Lenient };

BeamGroupSample DecodeBeamSample(const std::string& reply, BeamDecode rule = BeamDecode::Strict);

// The beam of value k (0..95) of the group starting at s: the three values of
// one position come together, bank 0, bank 1, bank 2.
constexpr int BeamOfValue(int groupStart, int k) {
    return groupStart + k / 3 + 128 * (k % 3);
}

// How the 192-byte reply is read: at once, or as two reads of 96 joined.
enum class SampleReads { Whole, TwoHalves };

// One beam-sample exchange for group s: purge, FF 00 30 s F0, read, decode.
// In two halves the second is read only when the first came whole.
BeamGroupSample RequestBeamSample(int port, int groupStart, SampleReads reads = SampleReads::Whole,
                                  BeamDecode rule = BeamDecode::Strict);

// One sample of all 384 beams (the four groups); the values of every valid
// group are stored in levels[beam] (levels must hold at least 384 entries),
// invalid groups leave theirs untouched. Returns the number of valid groups.
int SampleAllBeams(int port, std::span<int16_t> levels, SampleReads reads = SampleReads::Whole,
                   BeamDecode rule = BeamDecode::Strict);

} // namespace trv
