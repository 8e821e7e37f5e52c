// Random sequences of what a user and a failing world do to an acquisition:
// the main window's commands and menu switches, and an instrument that is
// killed, restarted, silenced, drops, cuts, delays or garbles replies, a
// disk that fills up and frees again, a clock that jumps. After every action
// the rig checks the run, its files and the instrument's ledger
// (AcquisitionRig::check); RapidCheck shrinks a failure to its shortest
// sequence.
#include "AcquisitionRig.h"

#include "device/ModCOMM.h"

#include "Pick.h"
#include "SearchStats.h"

#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>
#include <rapidcheck/state.h>

#include <chrono>
#include <exception>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace trv::test {
namespace {

// What the search believes of the run, only to steer what it tries next
// (Ticks while acquiring, Read Blank where it can start, a switch during a
// blank...). The checks read the real run, its files and the instrument.
struct Steer {
    bool acquiring = false;
    bool manual = false;
    bool autoZero = true;
    bool blank = false;
    bool instrument = true;
};
using NoModel = Steer;

// An action: what it does (skipped when the window would not offer it),
// then the checks. No exception may escape and no action may hang.
struct Action : rc::state::Command<NoModel, AcquisitionRig> {
    virtual void act(AcquisitionRig& r) const = 0;
    void run(const NoModel&, AcquisitionRig& r) const override {
        const auto t0 = std::chrono::steady_clock::now();
        ++SearchStats::actions;
        SearchStats::trace(*this);
        try {
            act(r);
        } catch (const std::exception& e) {
            RC_FAIL(std::string("an exception escaped: ") + e.what());
        }
        r.fake.prompter.answers.clear();
        r.fake.prompter.inputs.clear();
        r.fake.prompter.clear();
        r.fake.status.texts.clear();
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        RC_ASSERT(s < 60.0);
        r.check();
    }
};

// --- The user --------------------------------------------------------------

struct Ticks : Action {
    // A few ticks, a stretch, or most of a block and more (a blank, the
    // real-time window and the held-sample share show over many ticks).
    int n = pick(rc::gen::oneOf(rc::gen::inRange(1, 5), rc::gen::inRange(5, 30),
                                rc::gen::inRange(30, 120)));
    void act(AcquisitionRig& r) const override { r.ticks(n); }
    void show(std::ostream& os) const override { os << "Ticks(" << n << ")"; }
};

// Ticks up to the next block's first sample: whatever the world does next
// meets the block boundary.
struct ToBlockStart : Action {
    void act(AcquisitionRig& r) const override {
        for (int i = 0; i < r.run->realtime().rtBuffer() && r.run->sampleIndex() != 0; ++i)
            r.tick();
    }
    void show(std::ostream& os) const override { os << "ToBlockStart"; }
};

struct ConnectCmd : Action {
    void act(AcquisitionRig& r) const override {
        if (r.s.Acq_State != 0) return; // the window's button is disabled
        Connect(r.s, r.fake.ports, r.menu, {}, false);
    }
    void show(std::ostream& os) const override { os << "Connect"; }
};

struct DisconnectCmd : Action {
    void act(AcquisitionRig& r) const override {
        if (r.s.Acq_State != 0) return;
        Disconnect(r.s);
    }
    void show(std::ostream& os) const override { os << "Disconnect"; }
};

struct Play : Action {
    void act(AcquisitionRig& r) const override {
        if (!r.playEnabled) return;
        r.fake.prompter.type("Run");
        r.run->Play();
    }
    void apply(Steer& m) const override { m.acquiring = true; }
    void show(std::ostream& os) const override { os << "Play"; }
};

struct Pause : Action {
    bool stopCounter = pick(rc::gen::arbitrary<bool>());
    void act(AcquisitionRig& r) const override {
        if (!r.pauseEnabled) return;
        if (r.s.Acq_State == 1) r.fake.prompter.answer(stopCounter ? Answer::Yes : Answer::No);
        r.run->Pause();
    }
    void show(std::ostream& os) const override {
        os << "Pause(" << (stopCounter ? "time counter off" : "time counter on") << ")";
    }
};

struct Stop : Action {
    bool confirmed = pick(rc::gen::arbitrary<bool>());
    void act(AcquisitionRig& r) const override {
        // The window asks "Stop the running acquisition?" first.
        if (r.run->acquisitionRunning() && !confirmed) return;
        r.run->Stop();
    }
    void apply(Steer& m) const override { if (confirmed) m.acquiring = m.blank = false; }
    void show(std::ostream& os) const override { os << "Stop(" << (confirmed ? "yes" : "no") << ")"; }
};

struct ReadBlank : Action {
    void act(AcquisitionRig& r) const override {
        if (!r.run->calibration().controls.Cmd_readblank) return;
        r.run->calibration().Cmd_readblank_Click();
        r.blankTicks = 0;
    }
    void apply(Steer& m) const override {
        m.blank = m.blank || (m.manual && (!m.acquiring || !m.autoZero));
    }
    void show(std::ostream& os) const override { os << "ReadBlank"; }
};

struct Switch : Action {
    // Auto Zero, Auto Calibration (rare: a full calibration takes thousands
    // of exchanges), manual calibration.
    int which = pick(rc::gen::weightedElement<int>({{4, 0}, {1, 1}, {4, 2}}));
    bool on = pick(rc::gen::arbitrary<bool>());
    void act(AcquisitionRig& r) const override {
        Calibration& c = r.run->calibration();
        if (which == 0 && c.controls.autoZeroEnabled) c.AutoZero_Click(on);
        if (which == 1 && c.controls.autoCalibrationEnabled) c.AutoCalibration_Click(on);
        if (which == 2) on ? c.ManualCalibrationOn() : c.ManualCalibrationOff();
    }
    void apply(Steer& m) const override { if (which == 0) m.autoZero = on; if (which == 2) m.manual = on; if (which == 2 && !on) m.autoZero = true; }
    void show(std::ostream& os) const override {
        static const char* names[] = {"AutoZero", "AutoCalibration", "ManualCalibration"};
        os << names[which] << "(" << (on ? "on" : "off") << ")";
    }
};

struct FastButton : Action {
    bool zero = pick(rc::gen::weightedElement<bool>({{6, true}, {1, false}})); // else "Fast CALIB"
    void act(AcquisitionRig& r) const override {
        Calibration& c = r.run->calibration();
        if (zero && c.controls.Cmd_autozero) c.Cmd_autozero_Click("1.8");
        if (!zero && c.controls.cmd_calibra) c.cmd_calibra_Click("1.8");
    }
    void show(std::ostream& os) const override { os << (zero ? "FastZero" : "FastCalib"); }
};

struct ReAdjust : Action {
    int beam = pick(rc::gen::inRange(0, kChannels));
    void act(AcquisitionRig& r) const override {
        if (!r.run->acquisitionRunning()) return; // a block end's procedure
        std::array<bool, kSlots> marked{};
        marked[static_cast<size_t>(beam)] = true;
        r.run->calibration().ReAdjust(marked);
    }
    void show(std::ostream& os) const override { os << "ReAdjust(beam " << beam << ")"; }
};

struct Panels : Action {
    int button = pick(rc::gen::inRange(0, 5));
    int setPoint = pick(rc::gen::inRange(15, 40));
    void act(AcquisitionRig& r) const override {
        TemperatureLight& p = r.run->panels();
        switch (button) {
        case 0: p.cmd_luz_Click(); break;
        case 1: p.cmd_ontemp_Click(); break;
        case 2: p.cmd_frio_Click(); break;
        case 3:
            p.txttemp_LostFocus(std::to_string(setPoint));
            p.Cmd_settemp_Click();
            break;
        default:
            p.txt_lon_LostFocus(std::to_string(setPoint % 24));
            break;
        }
    }
    void show(std::ostream& os) const override {
        static const char* names[] = {"Light", "TemperatureOn", "Cooling", "SetPoint", "LightOnHour"};
        os << names[button] << "(" << setPoint << ")";
    }
};

struct ProjectChange : Action {
    int rt = pick(rc::gen::inRange(8, 21));
    int lapse = pick(rc::gen::inRange(1, 4));
    bool saveRaw = pick(rc::gen::arbitrary<bool>());
    void act(AcquisitionRig& r) const override {
        if (r.s.Acq_State != 0) return; // the setup window opens only while idle
        r.s.setup.RT_Buffer = static_cast<int16_t>(rt);
        r.s.setup.Aq_lapse = static_cast<int16_t>(lapse);
        r.s.setup.Save_real = saveRaw ? 1 : 0;
        r.run->FillControls();
        r.run->ActivationRefresh();
    }
    void show(std::ostream& os) const override {
        os << "ProjectChange(block " << rt << ", lapse " << lapse << " min, raw "
           << (saveRaw ? "on" : "off") << ")";
    }
};

struct LapsePasses : Action {
    void act(AcquisitionRig& r) const override {
        if (r.s.Acq_State == 0) return;
        const double due = r.run->startTime() + r.s.setup.Aq_lapse / 1440.0;
        const double now = r.fake.clock.nowDays();
        if (due > now) r.fake.clock.advanceMs(static_cast<long long>((due - now) * 86400000) + 1);
        r.ticks(r.run->realtime().rtBuffer() + 2);
    }
    void apply(Steer& m) const override { m.acquiring = m.blank = false; }
    void show(std::ostream& os) const override { os << "LapsePasses"; }
};

// --- The world -------------------------------------------------------------

struct KillInstrument : Action {
    void act(AcquisitionRig& r) const override { r.killInstrument(); }
    void apply(Steer& m) const override { m.instrument = false; }
    void show(std::ostream& os) const override { os << "KillInstrument"; }
};

struct RestartInstrument : Action {
    void act(AcquisitionRig& r) const override { r.restartInstrument(); }
    void apply(Steer& m) const override { m.instrument = true; }
    void show(std::ostream& os) const override { os << "RestartInstrument"; }
};

struct Silent : Action {
    int n = pick(rc::gen::inRange(1, 30));
    void act(AcquisitionRig& r) const override {
        if (!r.sim) return;
        const long received = r.sim->framesReceived();
        r.sim->updateFaults([&](sim::SimFaults& f) { f.silentAfter = received; });
        r.ticks(n);
        if (r.sim) r.sim->updateFaults([](sim::SimFaults& f) { f.silentAfter = -1; });
    }
    void show(std::ostream& os) const override { os << "Silent(" << n << " ticks)"; }
};

struct ReplyFault : Action {
    int kind = pick(rc::gen::inRange(0, 4)); // drop, cut short, high byte, delay
    int n = pick(rc::gen::inRange(1, 6));
    int length = pick(rc::gen::inRange(0, 192));
    int lateMs = pick(rc::gen::inRange(5, 120));
    void act(AcquisitionRig& r) const override {
        if (!r.sim) return;
        if (kind == 3) {
            r.sim->updateFaults([&](sim::SimFaults& f) { f.lateMs = lateMs; });
            r.lateRepliesMs = lateMs;
            r.ticks(n);
            r.lateRepliesMs = 0;
            if (r.sim) r.sim->updateFaults([](sim::SimFaults& f) { f.lateMs = 0; });
            return;
        }
        r.sim->updateFaults([&](sim::SimFaults& f) {
            if (kind == 0) f.dropNext = n;
            if (kind == 1) f.shortNext = n, f.shortLength = length;
            if (kind == 2) f.badHighNext = n;
        });
    }
    void show(std::ostream& os) const override {
        if (kind == 0) os << "DropReplies(" << n << ")";
        if (kind == 1) os << "ShortReplies(" << n << ", " << length << " bytes)";
        if (kind == 2) os << "HighByteAbove15(" << n << ")";
        if (kind == 3) os << "LateReplies(" << lateMs << " ms, " << n << " ticks)";
    }
};

struct Disk : Action {
    bool full = pick(rc::gen::arbitrary<bool>());
    void act(AcquisitionRig& r) const override { r.diskFull = full; }
    void show(std::ostream& os) const override { os << (full ? "DiskFull" : "DiskFree"); }
};

struct ClockJump : Action {
    int seconds = pick(rc::gen::inRange(-600, 600));
    void act(AcquisitionRig& r) const override { r.fake.clock.advanceMs(seconds * 1000LL); }
    void show(std::ostream& os) const override { os << "ClockJump(" << seconds << " s)"; }
};

RC_GTEST_PROP(AcquisitionSearch, EveryActionKeepsTheDataTrue, ()) {
    ++SearchStats::sequences;
    AcquisitionRig rig;
    // Where the user starts: the project's block size and lapse, Auto Zero,
    // manual calibration.
    const int rt = pick(rc::gen::inRange(8, 21));
    const bool autoZero = pick(rc::gen::weightedElement<bool>({{1, true}, {2, false}}));
    const bool manual = pick(rc::gen::weightedElement<bool>({{2, true}, {1, false}}));
    rig.s.setup.RT_Buffer = static_cast<int16_t>(rt);
    rig.s.setup.Enab_Zero() = autoZero ? 1 : 0;
    rig.run->FillControls();
    rig.run->ActivationRefresh();
    if (manual) rig.run->calibration().ManualCalibrationOn();
    Steer start;
    start.autoZero = autoZero;
    start.manual = manual;
    rc::state::check(start, rig, [](const Steer& m) {
        using Cmd = std::shared_ptr<const rc::state::Command<Steer, AcquisitionRig>>;
        auto one = [&](auto tag) {
            using T = typename decltype(tag)::type;
            return rc::state::gen::execOneOfWithArgs<T>()(m);
        };
        const bool on = m.acquiring;
        return rc::gen::weightedOneOf<Cmd>({
            // A blank takes its window and its threshold count in ticks:
            // whether it ends shows only after many.
            {m.blank ? 24u : on ? 12u : 2u, one(std::type_identity<Ticks>{})},
            {on ? 3u : 0u, one(std::type_identity<ToBlockStart>{})},
            {on ? 1u : 6u, one(std::type_identity<Play>{})},
            {on ? 2u : 1u, one(std::type_identity<Stop>{})},
            {on ? 2u : 1u, one(std::type_identity<Pause>{})},
            {on ? 1u : 2u, one(std::type_identity<ConnectCmd>{})},
            {on ? 1u : 2u, one(std::type_identity<DisconnectCmd>{})},
            {m.manual && (!on || !m.autoZero) ? 10u : 1u, one(std::type_identity<ReadBlank>{})},
            {m.blank ? 10u : 2u, one(std::type_identity<Switch>{})},
            {1, one(std::type_identity<FastButton>{})},
            {1, one(std::type_identity<ReAdjust>{})},
            {1, one(std::type_identity<Panels>{})},
            {on ? 0u : 2u, one(std::type_identity<ProjectChange>{})},
            {on ? 2u : 0u, one(std::type_identity<LapsePasses>{})},
            {on && m.instrument ? 2u : 0u, one(std::type_identity<KillInstrument>{})},
            {m.instrument ? 0u : 4u, one(std::type_identity<RestartInstrument>{})},
            {on && m.instrument ? 2u : 0u, one(std::type_identity<Silent>{})},
            {on && m.instrument ? 4u : 0u, one(std::type_identity<ReplyFault>{})},
            {on ? 2u : 1u, one(std::type_identity<Disk>{})},
            {on ? 2u : 1u, one(std::type_identity<ClockJump>{})},
        });
    });
    // At the end: the run stopped, everything it wrote still holds.
    rig.run->Stop();
    rig.check();
}

} // namespace
} // namespace trv::test
