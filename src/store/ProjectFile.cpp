#include "store/ProjectFile.h"

#include "common/Files.h"
#include "common/Numeric.h"
#include "common/Ports.h"
#include "common/RunLog.h"
#include "common/TextRecord.h"
#include "store/AcquisitionRecord.h"
#include "store/ChannelTablesFile.h"
#include "store/ConfigFile.h"
#include "store/PlateFormat.h"
#include "store/StoreText.h"
#include "store/StoreText.h"

#include <optional>

namespace trv {

namespace {

const char* const kMnHeaders[6] = {
    "Mn1: <Organism>, <Enab_Cal>, <Enab_Zero>, <SNRx10>,,",
    "Mn2: <Enable>, <Time_ON>, <v3:Time_OFF>,,,",
    "Mn3: <v1:Enable>, <v2:Tempx10>,,,,",
    "Mn4: ,,,,,",
    "Mn5: ,,,,,",
    "Mn6: ,,,,,",
};

void readSix(RecordReader& r, int16_t* const (&fields)[6]) {
    for (int16_t* f : fields)
        *f = r.int16();
}

// Splits a record at the commas outside quotes, keeping each field's text
// as it is; nothing when a quote is not closed.
std::optional<std::vector<std::string>> splitFields(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (char c : line) {
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted)
            fields.emplace_back();
        else
            fields.back() += c;
    }
    if (quoted) return std::nullopt;
    return fields;
}

} // namespace

std::string defaultWorkingFolder(const std::string& programFolder, int n) {
    return joinPath(programFolder, projectFolderName(n)) + "/";
}

std::string setupFileText(const ProjectSetup& st, int numProj) {
    RecordWriter w;
    w.header("Project Setup: <Num_proj>,<Name>,<Working_folder>,<Plate_format>");
    w.integer(numProj)
        .text(singleLineName(st.Name))
        .text(singleLineName(st.Working_folder))
        .text(singleLineName(st.Plate_format))
        .end();
    w.header("<Aq_mode>,<Aq_lapse>,<Sample_Rate>,<RT_Buffer>,<DSP_Method>,<DSP_Interval>");
    w.integer(st.Aq_mode)
        .integer(st.Aq_lapse)
        .integer(st.Sample_Rate)
        .integer(st.RT_Buffer)
        .integer(st.DSP_Method)
        .integer(st.DSP_Interval)
        .end();
    w.header("<Binary_Acq>,<Threshold_Counter>,<Cal_value>,<Cal_mode>,<Save_counts>,<Save_real>");
    w.integer(st.Binary_Acq)
        .integer(st.Threshold_Counter)
        .integer(st.Cal_value)
        .integer(st.Cal_mode)
        .integer(st.Save_counts)
        .integer(st.Save_real)
        .end();
    w.header("Tools: <Menu1:Cal>, <Menu2:Light>, <Menu3:Temp>, <Menu4>, <Menu5>, <Menu6>");
    w.integer(st.Menu1)
        .integer(st.Menu2)
        .integer(st.Menu3)
        .integer(st.Menu4)
        .integer(st.Menu5)
        .integer(st.Menu6)
        .end();
    for (size_t row = 0; row < 6; ++row) {
        w.header(kMnHeaders[row]);
        for (int16_t v : st.Mn[row])
            w.integer(v);
        w.end();
    }
    return w.str();
}

SetupRead readSetupFile(const std::string& path, ProjectSetup& st) {
    int lines = countLines(path, kStoreFileMaxBytes);
    int stage = 1;
    // Without the setting lines nothing was read, whatever the stage says.
    auto failed = [&] { return SetupRead{stage, lines > 5 ? stage : 1}; };
    try {
        auto content = readStoreFile(path);
        if (!content) return failed();
        RecordReader r(std::move(*content));
        std::string numText;
        if (lines > 5) {
            r.line();
            numText = r.item();
            st.Name = r.item();
            st.Working_folder = r.item();
            st.Plate_format = r.item();
            stage = 2;
            r.line();
            readSix(r, {&st.Aq_mode, &st.Aq_lapse, &st.Sample_Rate, &st.RT_Buffer, &st.DSP_Method,
                        &st.DSP_Interval});
            stage = 3;
            r.line();
            readSix(r, {&st.Binary_Acq, &st.Threshold_Counter, &st.Cal_value, &st.Cal_mode,
                        &st.Save_counts, &st.Save_real});
        }
        stage = 4;
        if (lines > 19) {
            r.line();
            readSix(r, {&st.Menu1, &st.Menu2, &st.Menu3, &st.Menu4, &st.Menu5, &st.Menu6});
            stage = 5;
            for (auto& row : st.Mn) {
                r.line();
                for (int16_t& v : row)
                    v = r.int16();
                ++stage;
            }
        }
        if (!isNumber(numText)) return failed();
        double num = leadingNumber(numText);
        if (!(num > -32768.5 && num < 32767.5)) return failed();
        st.Num_proj = static_cast<int16_t>(roundHalfEven(num));
        return SetupRead{};
    } catch (const RecordError&) {
        return failed();
    }
}

void applySetupDefaults(ProjectSetup& st, int stage, const std::string& programFolder, int n) {
    const ProjectSetup d;
    if (stage < 2) {
        st.Num_proj = static_cast<int16_t>(n);
        st.Name = d.Name;
        st.Working_folder = defaultWorkingFolder(programFolder, n);
        st.Plate_format = d.Plate_format;
    }
    if (stage < 3) {
        st.Aq_mode = d.Aq_mode;
        st.Aq_lapse = d.Aq_lapse;
        st.Sample_Rate = d.Sample_Rate;
        st.RT_Buffer = d.RT_Buffer;
        st.DSP_Method = d.DSP_Method;
        st.DSP_Interval = d.DSP_Interval;
    }
    if (stage < 4) {
        st.Binary_Acq = d.Binary_Acq;
        st.Threshold_Counter = d.Threshold_Counter;
        st.Cal_value = d.Cal_value;
        st.Cal_mode = d.Cal_mode;
        st.Save_counts = d.Save_counts;
        st.Save_real = d.Save_real;
    }
    if (stage < 5) {
        st.Menu1 = d.Menu1;
        st.Menu2 = d.Menu2;
        st.Menu3 = d.Menu3;
        st.Menu4 = d.Menu4;
        st.Menu5 = d.Menu5;
        st.Menu6 = d.Menu6;
    }
    for (size_t row = 0; row < 6; ++row)
        if (stage < 6 + static_cast<int>(row)) st.Mn[row] = d.Mn[row];
}

void loadProject(SharedState& s, int n, Prompter& prompter, StatusView& status) {
    const std::string setupPath = joinPath(s.Project_Folder, kSetupFileName);
    const std::string fileText = "Error [\\" + projectFolderName(n) + "\\setup.dat] ID#";
    bool recoveryTried = false;
    for (;;) {
        SetupRead read = readSetupFile(setupPath, s.setup);
        int stage = read.stage;
        if (read.ok()) {
            if (s.setup.Num_proj != n) {
                std::string warning = "Warning: Project ID# <> Folder Name [p00" +
                                      std::to_string(s.config.Actual_Project_Number) + "]";
                status.setText(status::NewsLine, warning);
                prompter.show(warning);
            }
            break;
        }
        if (n > 0 && stage < 11 && !recoveryTried) {
            recoveryTried = true;
            s.setup.Working_folder = defaultWorkingFolder(s.Program_Folder, n);
            std::optional<std::string> source;
            const std::string backup = joinPath(s.Project_Folder, kSetupBackupName);
            if (fileExists(backup) && copyFile(backup, setupPath) == 1) {
                source = "";
            } else {
                std::string acq = recoveryAcquisitionFolder(s.Project_Folder);
                std::string copy = joinPath(joinPath(s.Project_Folder, acq), kSetupFileName);
                if (!acq.empty() && fileExists(copy) && countLines(copy, kStoreFileMaxBytes) > 16 &&
                    copyFile(copy, setupPath) == 1)
                    source = acq;
            }
            if (source) {
                prompter.show(fileText + std::to_string(stage) +
                              " => Loading values from: " + projectFolderName(n) + "\\" + *source);
                prompter.show(kRecheckSetupWarning);
                continue;
            }
        }
        prompter.show(fileText + std::to_string(stage) + " => Loading default values...");
        prompter.show(kRecheckSetupWarning);
        applySetupDefaults(s.setup, read.readUpTo, s.Program_Folder, n);
        break;
    }
    // Blocks of a few samples cannot be analysed: the block size is kept
    // within the range the setup window allows, and acquisitions store what
    // they use.
    if (s.setup.RT_Buffer < kRtBufferMin || s.setup.RT_Buffer > kRtBufferMax) {
        runlog::warn(setupPath + ": RT_Buffer " + std::to_string(s.setup.RT_Buffer) +
                     " is outside " + std::to_string(kRtBufferMin) + ".." +
                     std::to_string(kRtBufferMax) + "; " + std::to_string(kRtBufferFallback) +
                     " is used");
        s.setup.RT_Buffer = kRtBufferFallback;
    }
    loadChannelTables(s.channels, s.Project_Folder, n, prompter);
    loadPlateFormat(s, prompter);
}

void loadProject(SharedState& s, int n, Ports& ports) {
    loadProject(s, n, ports.prompter, ports.status);
}

bool saveProject(const SharedState& s) {
    // An unresolved folder would put the files wherever the program was started.
    if (s.Project_Folder.empty()) return false;
    const std::string setupPath = joinPath(s.Project_Folder, kSetupFileName);
    copyFile(setupPath, joinPath(s.Project_Folder, kSetupBackupName));
    bool ok = writeFileAtomic(setupPath, setupFileText(s.setup, s.config.Actual_Project_Number));
    return saveChannelTables(s.channels, s.Project_Folder) && ok;
}

std::string describeProject(const std::string& folder, Prompter& prompter) {
    const std::string setupPath = joinPath(folder, kSetupFileName);
    const std::string backup = joinPath(folder, kSetupBackupName);
    if (countLines(setupPath, kStoreFileMaxBytes) < 6) {
        if (fileExists(backup)) {
            if (countLines(backup, kStoreFileMaxBytes) > 5 && copyFile(backup, setupPath) == 1)
                prompter.show("Error reading Setup.dat -> recovered from Setup.bak");
        } else {
            std::string acq = recoveryAcquisitionFolder(folder);
            if (!acq.empty()) {
                std::string acqFolder = joinPath(folder, acq);
                std::string copy = joinPath(acqFolder, kSetupFileName);
                if (countLines(copy, kStoreFileMaxBytes) > 5 && copyFile(copy, setupPath) == 1)
                    prompter.show("Error reading Setup.dat -> recovered from " + acqFolder);
            }
        }
    }
    if (countLines(setupPath, kStoreFileMaxBytes) < 6) return "<Project> p: SETUP NOT FOUND!!";
    try {
        auto content = readStoreFile(setupPath);
        if (!content) throw RecordError("unreadable");
        RecordReader r(std::move(*content));
        r.item();
        std::string num = r.item();
        std::string name = r.item();
        r.item();
        r.item();
        return "<Project> p" + zeroPadded(roundHalfEven(leadingNumber(num)), 5) + ": " + name;
    } catch (const RecordError&) {
        return "ERROR on SETUP.DAT FILE!!!";
    }
}

std::string renameProject(const std::string& folder, const std::string& newName,
                          Prompter& prompter) {
    const std::string setupPath = joinPath(folder, kSetupFileName);
    const std::string backup = joinPath(folder, kSetupBackupName);
    if (!fileExists(setupPath)) return newName;
    // An over-long setup.dat is damaged: it is not copied over the backup.
    if (fileSize(setupPath) > static_cast<long long>(kStoreFileMaxBytes)) return "";
    if (copyFile(setupPath, backup) != 1) {
        prompter.show("error");
        return "";
    }
    auto content = readStoreFile(backup);
    if (!content) return "";
    std::vector<std::string> lines = splitLines(*content);
    if (lines.size() < 2 || lines.size() > 51) return "";
    // Quote-aware, so a name holding commas survives rename after rename.
    auto fields = splitFields(lines[1]);
    if (!fields || fields->size() > 11) return "";
    const std::string stored = singleLineName(newName);
    std::string line = (*fields)[0] + ",\"" + stored + "\"";
    for (size_t i = 2; i < fields->size(); ++i)
        line += "," + (*fields)[i];
    lines[1] = line;
    RecordWriter w;
    for (const auto& l : lines)
        w.printed(l);
    if (!writeFileAtomic(setupPath, w.str())) return "";
    return stored;
}

std::string recoveryAcquisitionFolder(const std::string& folder) {
    std::string best;
    double bestKey = 0;
    for (const std::string& name : listSubfolders(folder)) {
        if (!isAcquisitionFolderName(name)) continue;
        // yyyymmddhhmm: later dates give greater keys, across years too.
        double key = leadingNumber(name.substr(0, 8) + name.substr(9, 4));
        if (key > bestKey) {
            bestKey = key;
            best = name;
        }
    }
    return best;
}

} // namespace trv
