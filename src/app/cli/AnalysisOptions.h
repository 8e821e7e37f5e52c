// What the sleep and rhythm commands share: the light hours that override
// the acquisition's schedule, the CSV separator, the folders, and how a
// failure is told.
#pragma once

#include "app/cli/CliArgs.h"
#include "common/Files.h"

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace trv::cli {

struct AnalysisOptions {
    std::string acquisition, output;
    std::optional<std::string> separator;
    int lightOn = -1, lightOff = -1;
    CLI::Option* on = nullptr;
    CLI::Option* off = nullptr;

    // --light-on, --light-off, --separator and --output.
    void add(CLI::App& cmd) {
        on = addWholeNumber(cmd, "--light-on", lightOn, 0, 23,
                            "hour the light goes on (with --light-off; overrides setup.dat)");
        off = addWholeNumber(cmd, "--light-off", lightOff, 0, 23,
                             "hour the light goes off (with --light-on)");
        cmd.add_option_function<std::string>(
               "--separator",
               [this](const std::string& s) {
                   if (s.empty()) throw UsageError("--separator must not be empty");
                   separator = s;
               },
               "field separator of the CSV files (default: the locale's list separator)")
            ->type_name("S");
        addOutputFolder(cmd, output, "folder of the files, made when missing (default: ACQFOLDER)");
    }
    // The light hours when both were given; a usage error for only one.
    void lightHours(std::optional<int>& onHour, std::optional<int>& offHour) const {
        if ((on->count() > 0) != (off->count() > 0))
            throw UsageError("--light-on and --light-off go together: give both or neither");
        if (on->count() > 0) {
            onHour = lightOn;
            offHour = lightOff;
        }
    }
    // The acquisition folder exists and the output folder is made; false
    // after a message.
    bool foldersReady(const Context& c, std::string& outputFolder) const {
        if (!folderExists(acquisition)) {
            c.err << c.name << ": acquisition folder not found: " << acquisition << "\n";
            return false;
        }
        if (!output.empty()) {
            if (!makeOutputFolder(c, output)) return false;
            outputFolder = output;
        }
        return true;
    }
};

// The paths written, one a line; or the failure (its CR LF line breaks as
// plain ones) and kExitFailure.
inline int analysisResult(const Context& c, bool written, const std::string& error,
                          const std::vector<std::string>& files) {
    if (!written) {
        std::string text = error;
        for (size_t p; (p = text.find("\r\n")) != std::string::npos;)
            text.replace(p, 2, "\n");
        c.err << c.name << ": " << text << "\n";
        return kExitFailure;
    }
    for (const std::string& f : files)
        c.out << f << "\n";
    return kExitOk;
}

} // namespace trv::cli
