// trelvane-cli device-test: the instrument's device test without the window
// (see maintenance/DeviceTest.h), against the instrument on a serial port
// with the program's port naming. The record is written into the program
// folder, where the window writes it, and its path printed.
#include "app/cli/CliArgs.h"
#include "app/cli/CliSupport.h"
#include "maintenance/DeviceTest.h"
#include "store/ConfigFile.h"

namespace trv::cli {
namespace {

Runner setUp(CLI::App& cmd) {
    auto port = std::make_shared<int>(1);
    addWholeNumber(cmd, "--port", *port, 1, 15,
                   "serial port number N: COMN, $TRELVANE_COM_DIR/COMN when that is set")
        ->required();
    cmd.footer("Remove any plate from the slot and close the door first. The test takes about\n"
               "half a minute; exit status 0 when every beam passed, 1 otherwise. Ctrl-C stops\n"
               "it where it is (the beams keep the settings of that step).");
    return [port](const Context& c) {
        StopOnInterrupt interrupt;
        return RunDeviceTestCommand(programFolder(), *port, c.out, c.err, &interrupt.flag()) == 0
                   ? kExitOk
                   : kExitFailure;
    };
}

const CommandRegistration registered{
    "device-test", "test every beam of an empty instrument and write its test record", setUp};

} // namespace
} // namespace trv::cli
