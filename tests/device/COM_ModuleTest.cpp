#include "device/COM_Module.h"
#include "device/ModCOMM.h"

#include "support/Fakes.h"
#include "support/SimPorts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <sys/ioctl.h>
#include <thread>

using namespace trv;
using namespace trv::test;

namespace {

class Frames : public ::testing::Test {
  protected:
    void SetUp() override {
        sim_ = &sims_.start(3, SimPorts::quiet());
        ASSERT_EQ(CommOpen(3, "COM3", kDeviceLineSettings), 0);
    }
    std::vector<sim::Frame> frames() const { return sim_->frames(); }
    // The level the instrument shows for a beam (no noise, no animals).
    int16_t clean(int beam) {
        double v = 0;
        sim_->withModel([&](sim::SimModel& m) { v = m.cleanLevel(beam); });
        return static_cast<int16_t>(std::clamp<long>(std::lround(v), 0, 4095));
    }

    SimPorts sims_;
    sim::SimInstrument* sim_ = nullptr;
    FakeClock clock_;
    FakePrompter prompter_;
};

std::string sampleReply(int firstHigh, int firstLow, int length = 192) {
    std::string r(static_cast<size_t>(length), '\0');
    for (int i = 0; i + 1 < length; i += 2) {
        r[static_cast<size_t>(i)] = 0x01;
        r[static_cast<size_t>(i + 1)] = static_cast<char>(i / 2);
    }
    r[0] = static_cast<char>(firstHigh);
    r[1] = static_cast<char>(firstLow);
    return r;
}

} // namespace

TEST(FrameBytes, FramesAreStartBankOpcodeOperandEnd) {
    EXPECT_EQ(DeviceFrame(0x20, 130, 0), bytes({0xFF, 0x00, 0x20, 0x82, 0xF0}));
    EXPECT_EQ(DeviceFrame(72, 103, 0x81), bytes({0xFF, 0x81, 0x48, 0x67, 0xF0}));
    EXPECT_EQ(DeviceFrame(256, 0, 0), "");
    EXPECT_EQ(DeviceFrame(0, -1, 0), "");
}

TEST_F(Frames, QueryAndSendPutTheExactBytesOnTheWire) {
    EXPECT_EQ(DeviceQuery(3, 0x20, 130, 0), 24); // factory register 130: the year
    EXPECT_EQ(DeviceSend(3, 0x10, 5, 0), 0);
    ASSERT_TRUE(sim_->waitForFrames(2, 1000));
    const auto f = frames();
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0], frame(0xFF, 0x00, 0x20, 0x82, 0xF0));
    EXPECT_EQ(f[1], frame(0xFF, 0x00, 0x10, 0x05, 0xF0));
    EXPECT_EQ(sim_->outputState(), 5);
}

TEST_F(Frames, SendReadsNothingEvenWhenTheInstrumentAnswers) {
    EXPECT_EQ(DeviceSend(3, 0x20, 130, 0), 0);
    // The reply stays in the input queue for whoever reads next.
    int waiting = 0;
    for (int i = 0; i < 200 && waiting < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ::ioctl(CommPortEntry(3).handle, FIONREAD, &waiting);
    }
    EXPECT_EQ(waiting, 2);
}

TEST_F(Frames, SendOnAClosedPortFails) {
    ASSERT_EQ(CommClose(3), 0);
    EXPECT_EQ(DeviceSend(3, 0x10, 5, 0), -1);
}

TEST_F(Frames, QueryTakesTheFirstByteOfAOneByteReplyAndMinusOneForNone) {
    sim_->updateFaults([](sim::SimFaults& f) { f.probeReply = {0x2A}; });
    EXPECT_EQ(DeviceQuery(3, 0x00, 0, 0), 0x2A);
    sim_->updateFaults([](sim::SimFaults& f) { f.dropNext = 1; });
    EXPECT_EQ(DeviceQuery(3, 0x21, 0, 0), -1);
}

TEST_F(Frames, ChannelSettingWriteOfBeam200GoesToBank1Register72) {
    EXPECT_EQ(WriteChannelSetting(3, 200, 7, 3, clock_, prompter_), 1);
    const auto f = frames();
    ASSERT_EQ(f.size(), 9u); // one pass, nine sends
    for (const auto& x : f)
        EXPECT_EQ(x, frame(0xFF, 0x81, 0x48, 0x67, 0xF0));
    EXPECT_EQ(sim_->beamSetting(200), 103);
    EXPECT_TRUE(clock_.sleeps.empty());
    EXPECT_TRUE(prompter_.messages.empty());

    // Beams of bank 2 go through bank 1 registers from 128 on.
    sim_->clearFrames();
    EXPECT_EQ(WriteChannelSetting(3, 300, 1, 2, clock_, prompter_), 1);
    EXPECT_EQ(frames().back(), frame(0xFF, 0x81, 172, 65, 0xF0));
    EXPECT_EQ(sim_->beamSetting(300), 65);
    EXPECT_EQ(WriteChannelSetting(3, 5, 31, 7, clock_, prompter_), 1);
    EXPECT_EQ(frames().back(), frame(0xFF, 0x80, 5, 255, 0xF0));
}

TEST_F(Frames, OnlyTheLastReplyOfAPassCounts) {
    // Eight wrong acknowledges, the ninth right: accepted in the first pass.
    sim_->updateFaults([](sim::SimFaults& f) { f.wrongAckNext = 8; });
    EXPECT_EQ(WriteChannelSetting(3, 200, 7, 3, clock_, prompter_), 1);
    EXPECT_EQ(frames().size(), 9u);

    // Nine wrong: the second pass settles the instrument and writes again.
    sim_->clearFrames();
    sim_->updateFaults([](sim::SimFaults& f) { f.wrongAckNext = 9; });
    EXPECT_EQ(WriteChannelSetting(3, 200, 7, 3, clock_, prompter_), 1);
    const auto f = frames();
    ASSERT_EQ(f.size(), 19u);
    EXPECT_EQ(f[9], frame(0xFF, 0x00, 0x21, 0x00, 0xF0));
    EXPECT_EQ(clock_.sleeps,
              (std::vector<int>{150, 150, 100, 100, 100, 100, 100, 100, 100, 100, 100}));
    EXPECT_TRUE(prompter_.messages.empty());
}

TEST_F(Frames, AWrongAcknowledgeInEveryPassFailsWithTheMessage) {
    sim_->updateFaults([](sim::SimFaults& f) { f.wrongAckNext = 1000; });
    EXPECT_EQ(WriteChannelSetting(3, 200, 7, 3, clock_, prompter_), -1);
    EXPECT_EQ(frames().size(), 9u + 3u * 10u);
    EXPECT_EQ(clock_.totalSleptMs, 3 * (150 + 150 + 900));
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].text,
              "Ops...Data Writing ERROR: reg(200)... Check COM and Try again");
    EXPECT_EQ(prompter_.messages[0].buttons, Buttons::Ok);
}

TEST_F(Frames, SettingsThatDoNotFitAByteAreRefusedWithoutWriting) {
    EXPECT_EQ(WriteChannelSetting(3, 384, 1, 1, clock_, prompter_), -1);
    EXPECT_EQ(WriteChannelSetting(3, 10, 0, 8, clock_, prompter_), -1); // 8 x 32 = 256
    EXPECT_TRUE(frames().empty());
    EXPECT_TRUE(prompter_.saw("Ops...Data Writing ERROR: reg(384)... Check COM and Try again"));
}

TEST(BeamSampleDecoding, PairsAreHighThenLowAndOnlyExactlyFullRepliesCount) {
    BeamGroupSample g = DecodeBeamSample(sampleReply(0x0F, 0xFF));
    EXPECT_TRUE(g.valid);
    EXPECT_EQ(g.values[0], 4095);
    EXPECT_EQ(g.values[1], 256 + 1);
    EXPECT_EQ(g.values[95], 256 + 95);

    g = DecodeBeamSample(sampleReply(0x10, 0x00));
    EXPECT_FALSE(g.valid);
    EXPECT_EQ(g.values[0], 15 * 256); // clamped
    // Calibration keeps such a group, clamped.
    g = DecodeBeamSample(sampleReply(0x10, 0x00), BeamDecode::Lenient);
    EXPECT_TRUE(g.valid);
    EXPECT_EQ(g.values[0], 15 * 256);

    EXPECT_FALSE(DecodeBeamSample(sampleReply(0, 0, 191)).valid);
    EXPECT_FALSE(DecodeBeamSample(sampleReply(0, 0, 193)).valid);
    EXPECT_FALSE(DecodeBeamSample(sampleReply(0, 0, 191), BeamDecode::Lenient).valid);
    EXPECT_TRUE(DecodeBeamSample(sampleReply(0, 0, 193), BeamDecode::Lenient).valid);
    EXPECT_FALSE(DecodeBeamSample("").valid);
}

TEST(BeamSampleDecoding, ValuesComeInThreesOneFromEachBank) {
    EXPECT_EQ(BeamOfValue(0, 0), 0);
    EXPECT_EQ(BeamOfValue(0, 1), 128);
    EXPECT_EQ(BeamOfValue(0, 2), 256);
    EXPECT_EQ(BeamOfValue(32, 3), 33);
    EXPECT_EQ(BeamOfValue(32, 4), 161);
    EXPECT_EQ(BeamOfValue(32, 5), 289);
    EXPECT_EQ(BeamOfValue(96, 93), 127);
    EXPECT_EQ(BeamOfValue(96, 94), 255);
    EXPECT_EQ(BeamOfValue(96, 95), 383);
    // The four groups cover each beam exactly once.
    std::vector<int> seen(384, 0);
    for (int s : kGroupStarts)
        for (int k = 0; k < kGroupBeams; ++k)
            ++seen[static_cast<size_t>(BeamOfValue(s, k))];
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), 384);
}

TEST_F(Frames, BeamSampleExchangeReturnsEachBeamsLevel) {
    // Distinct settings so a beam in the wrong place would show.
    sim_->withModel([](sim::SimModel& m) {
        for (int b = 0; b < 384; b += 37)
            m.setSetting(b, static_cast<uint8_t>(b % 256));
    });
    for (SampleReads reads : {SampleReads::Whole, SampleReads::TwoHalves}) {
        sim_->clearFrames();
        const BeamGroupSample g = RequestBeamSample(3, 32, reads);
        ASSERT_TRUE(g.valid);
        EXPECT_EQ(g.replyBytes, 192);
        for (int k = 0; k < kGroupBeams; ++k)
            EXPECT_EQ(g.values[static_cast<size_t>(k)], clean(BeamOfValue(32, k))) << k;
        EXPECT_EQ(frames(), (std::vector<sim::Frame>{frame(0xFF, 0x00, 0x30, 0x20, 0xF0)}));
    }
}

TEST_F(Frames, APurgeBeforeEachRequestDropsALateReplyToAnEarlierOne) {
    // A register reply nobody read is still waiting on the port.
    ASSERT_EQ(DeviceSend(3, 0x20, 129, 0), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const BeamGroupSample g = RequestBeamSample(3, 0);
    ASSERT_TRUE(g.valid);
    EXPECT_EQ(g.values[0], clean(0));
    EXPECT_EQ(g.values[95], clean(287));
}

TEST_F(Frames, AllBeamsSampleKeepsThePreviousValuesOfAnInvalidGroup) {
    std::vector<int16_t> levels(385, -7);
    sim_->updateFaults([](sim::SimFaults& f) { f.badHighNext = 1; });
    EXPECT_EQ(SampleAllBeams(3, levels), 3);
    EXPECT_EQ(levels[0], -7); // group 0 was invalid
    EXPECT_EQ(levels[256], -7);
    EXPECT_EQ(levels[32], clean(32));
    EXPECT_EQ(levels[383], clean(383));
    EXPECT_EQ(levels[384], -7); // no beam there
    EXPECT_EQ(sim_->frames().size(), 4u);
}
