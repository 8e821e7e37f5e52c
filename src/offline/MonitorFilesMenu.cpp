#include "offline/MonitorFilesMenu.h"

#include "common/Desktop.h"
#include "reports/MonitorExport.h"

#include <charconv>

namespace trv {
namespace {

constexpr const char* kTitle = "Export Monitor Files";
constexpr int kMaxBinMinutes = 32767;
constexpr const char* kOneMinuteBins =
    "Records less than a minute apart: summed into 1-minute bins";

} // namespace

bool exportMonitorFilesFromBrowser(const std::string& acquisitionFolder,
                                   const std::string& programFolder, Ports& ports) {
    if (acquisitionFolder.empty()) return false;
    const InputResult typed =
        ports.prompter.input("Minutes per line (0: one line per stored record):", kTitle, "0");
    if (typed.cancelled) return false;
    std::string text = typed.text;
    text.erase(0, text.find_first_not_of(" \t"));
    text.erase(text.find_last_not_of(" \t") + 1);
    int bin = -1;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), bin);
    if (text.empty() || res.ec != std::errc() || res.ptr != text.data() + text.size() || bin < 0 ||
        bin > kMaxBinMinutes) {
        ports.prompter.message("The minutes per line must be a whole number from 0 to " +
                                   std::to_string(kMaxBinMinutes) + ", not \"" + typed.text + "\"",
                               Buttons::Ok, kTitle);
        return false;
    }
    const Answer per = ports.prompter.message(
        "One column per well, its beams summed? (No: one column per channel)", Buttons::YesNoCancel,
        kTitle);
    if (per == Answer::Cancel) return false;

    MonitorExportRequest rq;
    rq.acquisitionPath = acquisitionFolder;
    rq.programFolder = programFolder;
    rq.binMinutes = bin;
    rq.perWell = per == Answer::Yes;
    const MonitorExportOutcome out = exportMonitorFiles(rq, ports.prompter);
    if (!out.written) {
        ports.prompter.message("Monitor files not written: " + out.error, Buttons::Ok, kTitle);
        return false;
    }
    // Monitor files hold one line per minute at most: records closer than
    // that were summed, which the user should not have to find out.
    if (bin == 0 && out.binMinutes == 1)
        ports.prompter.message(kOneMinuteBins, Buttons::Ok, kTitle);
    // Without a file manager the user still learns where the files went.
    if (!ports.desktop.showInFolder(out.files.front()))
        ports.prompter.show(noViewerMessage(out.files.front()));
    return true;
}

} // namespace trv
