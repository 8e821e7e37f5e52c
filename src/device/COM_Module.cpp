#include "device/COM_Module.h"

#include "common/Clock.h"
#include "common/Prompter.h"
#include "device/ModCOMM.h"

#include <algorithm>
#include <exception>

namespace trv {

namespace {
bool isByte(int v) {
    return v >= 0 && v <= 255;
}
} // namespace

std::string DeviceFrame(int opcode, int operand, int bank) {
    if (!isByte(opcode) || !isByte(operand) || !isByte(bank)) return {};
    std::string f(5, '\0');
    f[0] = static_cast<char>(0xFF);
    f[1] = static_cast<char>(bank);
    f[2] = static_cast<char>(opcode);
    f[3] = static_cast<char>(operand);
    f[4] = static_cast<char>(0xF0);
    return f;
}

int DeviceSend(int port, int opcode, int operand, int bank) {
    try {
        const std::string frame = DeviceFrame(opcode, operand, bank);
        if (frame.empty()) return -1;
        return CommWrite(port, frame) == 5 ? 0 : -1;
    } catch (const std::exception&) {
        return -1;
    }
}

int DeviceQuery(int port, int opcode, int operand, int bank) {
    try {
        const std::string frame = DeviceFrame(opcode, operand, bank);
        if (frame.empty()) return -1;
        CommWrite(port, frame);
        std::string reply;
        if (CommRead(port, reply, 2) < 1 || reply.empty()) return -1;
        return static_cast<unsigned char>(reply[0]);
    } catch (const std::exception&) {
        return -1;
    }
}

bool WriteRegisterWithAck(int port, int bank, int reg, int value, Clock& clock,
                          const AckRetries& retries) {
    // A register or value that does not fit in a byte would address another
    // beam: refuse it as a failed write.
    if (!isByte(reg) || !isByte(value) || !isByte(bank)) return false;
    try {
        int last = -1;
        for (int i = 0; i < 9; ++i)
            last = DeviceQuery(port, reg, value, bank);
        for (int round = 1; round <= retries.retries && last != reg; ++round) {
            if (retries.purgeLastRound && round == retries.retries) CommFlush(port);
            clock.sleepMs(retries.pauseMs);
            DeviceQuery(port, op::ReadTemperature, 0, 0); // lets the instrument settle
            clock.sleepMs(retries.pauseMs);
            for (int i = 0; i < 9; ++i) {
                last = DeviceQuery(port, reg, value, bank);
                clock.sleepMs(retries.afterWriteMs);
            }
        }
        return last == reg;
    } catch (const std::exception&) {
        return false;
    }
}

int WriteChannelSetting(int port, int beam, int power, int gain, Clock& clock, Prompter& prompter) {
    const int bank = beam < 128 ? kWriteBank0 : kWriteBank1;
    const int reg = beam < 128 ? beam : beam - 128;
    // Four passes: nine writes, then three rounds of 150 ms pauses with 100 ms
    // after each write, the port purged before the last.
    if (beam >= 0 && WriteRegisterWithAck(port, bank, reg, gain * 32 + power, clock, AckRetries{}))
        return 1;
    prompter.message("Ops...Data Writing ERROR: reg(" + std::to_string(beam) +
                         ")... Check COM and Try again",
                     Buttons::Ok);
    return -1;
}

BeamGroupSample DecodeBeamSample(const std::string& reply, BeamDecode rule) {
    BeamGroupSample g;
    g.replyBytes = static_cast<int>(reply.size());
    g.valid = rule == BeamDecode::Strict ? g.replyBytes == kBeamSampleBytes
                                         : g.replyBytes >= kBeamSampleBytes;
    const int pairs = std::min(kGroupBeams, g.replyBytes / 2);
    for (int k = 0; k < pairs; ++k) {
        int high = static_cast<unsigned char>(reply[static_cast<size_t>(2 * k)]);
        const int low = static_cast<unsigned char>(reply[static_cast<size_t>(2 * k + 1)]);
        if (high > 15) {
            if (rule == BeamDecode::Strict) g.valid = false;
            high = 15;
        }
        g.values[static_cast<size_t>(k)] = static_cast<int16_t>(high * 256 + low);
    }
    return g;
}

BeamGroupSample RequestBeamSample(int port, int groupStart, SampleReads reads, BeamDecode rule) {
    CommFlush(port);
    std::string reply;
    const std::string frame = DeviceFrame(op::BeamSample, groupStart, 0);
    if (!frame.empty()) {
        CommWrite(port, frame);
        if (reads == SampleReads::Whole) {
            CommRead(port, reply, kBeamSampleBytes);
        } else {
            // A first half that came short has waited out the port's
            // time-out: the reply is cut either way, and the second read
            // would only wait out another one.
            std::string second;
            if (CommRead(port, reply, kBeamSampleBytes / 2) == kBeamSampleBytes / 2)
                CommRead(port, second, kBeamSampleBytes / 2);
            reply += second;
        }
    }
    return DecodeBeamSample(reply, rule);
}

int SampleAllBeams(int port, std::span<int16_t> levels, SampleReads reads, BeamDecode rule) {
    int valid = 0;
    for (int s : kGroupStarts) {
        const BeamGroupSample g = RequestBeamSample(port, s, reads, rule);
        if (!g.valid) continue;
        ++valid;
        for (int k = 0; k < kGroupBeams; ++k) {
            const auto b = static_cast<size_t>(BeamOfValue(s, k));
            if (b < levels.size()) levels[b] = g.values[static_cast<size_t>(k)];
        }
    }
    return valid;
}

} // namespace trv
