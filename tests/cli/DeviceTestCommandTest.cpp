// trelvane-cli device-test as a program against simulated instruments on
// ptys: a healthy empty instrument passes (exit 0), one with a weak emitter
// and a dead receiver fails (exit 1) with their NONPASS lines. Both run at
// the same time, as each takes the test's own half minute.
#include "CliRun.h"
#include "support/SimPorts.h"

#include <gtest/gtest.h>

#include <thread>

namespace trv {
namespace {

CliResult deviceTest(const test::TempDir& home, const std::string& comDir, int port) {
    std::vector<std::string> envText = {"TRELVANE_HOME=" + home.path(),
                                        "TRELVANE_COM_DIR=" + comDir, "LANG=C"};
    std::vector<char*> envp;
    for (auto& e : envText)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    return runCliWith(home, {"device-test", "--port", std::to_string(port)}, envp.data());
}

TEST(DeviceTestCommand, PassesAHealthyInstrumentAndFailsAFaultyOne) {
    test::SimPorts sims;
    sim::SimOptions healthy;
    healthy.model.plateRows = 0; // an empty instrument
    healthy.model.organism = sim::Organism::Empty;
    sim::SimOptions faulty = healthy;
    faulty.model.weakEmitters = {75};
    faulty.model.deadReceivers = {200};
    sims.start(2, healthy);
    sims.start(4, faulty);
    test::TempDir homeA, homeB;
    CliResult a, b;
    std::thread first([&] { a = deviceTest(homeA, sims.dir(), 2); });
    b = deviceTest(homeB, sims.dir(), 4);
    first.join();

    EXPECT_EQ(a.exitCode, 0) << a.err;
    EXPECT_EQ(a.out, homeA / "testdev96.txt" + "\n");
    const std::string passed = homeA.read("testdev96.txt");
    EXPECT_NE(passed.find("Test_all_100%: OK PASS!"), std::string::npos);
    EXPECT_NE(passed.find("Row[P]: PASS!\r\n"), std::string::npos);
    EXPECT_EQ(passed.find("NONPASS"), std::string::npos);

    EXPECT_EQ(b.exitCode, 1) << b.err;
    EXPECT_EQ(b.out, homeB / "testdev96.txt" + "\n");
    const std::string failed = homeB.read("testdev96.txt");
    for (const char* line :
         {"Channels < 80%: CH75[", "CH200[0%], \r\n", "Col[5]: NONPASS 15\tCH > 80% (NONOK:CH75[",
          "Col[13]: NONPASS 15\tCH > 80% (NONOK:CH200[0%], ); 368CH < 20% (NONOK:)\r\n",
          "Row[I]: NONPASS 23\tCH > 80% (NONOK:CH200[0%], ); 360CH < 20% (NONOK:)\r\n",
          "Row[L]: NONPASS 23\t", "CH[383] "})
        EXPECT_NE(failed.find(line), std::string::npos) << line;
    EXPECT_NE(b.err.find("Col[5]: CHECK!"), std::string::npos);
}

TEST(DeviceTestCommand, NoInstrumentOnThePort) {
    test::SimPorts sims;
    test::TempDir home;
    const CliResult r = deviceTest(home, sims.dir(), 7);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("COM7"), std::string::npos) << r.err;
}

} // namespace
} // namespace trv
