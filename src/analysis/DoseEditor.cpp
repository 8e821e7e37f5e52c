#include "analysis/DoseEditor.h"

#include "analysis/DosePlot.h"
#include "common/Files.h"
#include "common/Numeric.h"
#include "reports/ActivityFile.h"
#include "reports/Basal.h"
#include "reports/ReportLoad.h"

#include <algorithm>
#include <cmath>

namespace trv {

namespace {

// A whole minute typed by the user; nothing when it is not one.
std::optional<int32_t> wholeMinute(const std::string& text) {
    if (!isNumber(text)) return std::nullopt;
    const double v = leadingNumber(text);
    if (v != std::floor(v) || std::fabs(v) > 1e9) return std::nullopt;
    return static_cast<int32_t>(v);
}

} // namespace

void DoseEditor::load(const std::string& acquisitionPath, const std::string& programFolder,
                      const std::string& basalChoice) {
    acquisition_ = acquisitionPath;
    program_ = programFolder;
    basal_ = basalRequested(basalChoice) ? basalFolderOf(acquisitionPath, basalChoice) : "";
    rows.clear();
    otherGroups_.clear();
    messages_.clear();
    unit.clear();
    CollectingPrompter prompter;

    ReportLayout layout;
    const LayoutLoad loaded = loadReportLayout(acquisitionPath, programFolder, layout, prompter);
    messages_ = std::move(prompter.messages);
    prompter.messages.clear();
    if (loaded != LayoutLoad::Loaded) {
        messages_.push_back("The groups of " + acquisitionPath + " cannot be read");
        return;
    }
    const int maxGroup = layout.maxGroup();
    const auto members = layout.groupMemberWells(maxGroup);
    for (int g = 0; g <= maxGroup; ++g)
        if (!members[static_cast<size_t>(g)].empty())
            rows.push_back({g, layout.channels.Group_Name[static_cast<size_t>(g)],
                            static_cast<int>(members[static_cast<size_t>(g)].size()), "", ""});

    const std::string dosesPath = joinPath(acquisitionPath, kDoseMapFileName);
    if (fileExists(dosesPath)) {
        const DoseMapRead read = readDoseMapFile(dosesPath);
        for (const std::string& e : read.errors)
            messages_.push_back("Dose map " + dosesPath + ", " + e);
        unit = read.map.unit;
        for (const DoseEntry& e : read.map.entries) {
            auto row = std::find_if(rows.begin(), rows.end(),
                                    [&](const DoseEditorRow& r) { return r.group == e.group; });
            if (row == rows.end()) {
                otherGroups_.push_back(e);
                continue;
            }
            row->compound = e.compound;
            row->concentration = plainReal(e.concentration);
        }
    }

    ActivitySeries series;
    const std::string counts = joinPath(acquisitionPath, "counts.bin");
    if (fileExists(counts)) loadActivityFile(counts, series, prompter);
    messages_.insert(messages_.end(), prompter.messages.begin(), prompter.messages.end());
    fromText = "0";
    toText = std::to_string(lastMinute(series));
}

bool DoseEditor::makeMap(DoseMap& map) {
    map = DoseMap{};
    map.unit = unit;
    bool ok = true;
    for (const DoseEditorRow& r : rows) {
        if (r.compound.find_first_not_of(" \t") == std::string::npos &&
            r.concentration.find_first_not_of(" \t") == std::string::npos)
            continue;
        DoseEntry e;
        if (auto problem = readDoseEntry(std::to_string(r.group), r.compound, r.concentration, e)) {
            messages_.push_back("group " + std::to_string(r.group) + " (" + r.name +
                                "): " + *problem);
            ok = false;
            continue;
        }
        map.entries.push_back(e);
    }
    map.entries.insert(map.entries.end(), otherGroups_.begin(), otherGroups_.end());
    return ok;
}

bool DoseEditor::save() {
    messages_.clear();
    DoseMap map;
    if (!makeMap(map)) return false;
    const std::string path = joinPath(acquisition_, kDoseMapFileName);
    if (!writeDoseMapFile(path, map)) {
        messages_.push_back("Cannot write " + path);
        return false;
    }
    return true;
}

DoseResponseOutcome DoseEditor::run(Locale& locale) {
    DoseResponseOutcome out;
    if (!save()) {
        out.messages = messages_;
        return out;
    }
    const auto from = wholeMinute(fromText), to = wholeMinute(toText);
    if (!from || !to) {
        messages_.push_back("From and To are whole minutes of the acquisition");
        out.messages = messages_;
        return out;
    }
    DoseResponseRequest rq;
    rq.acquisitionPath = acquisition_;
    rq.programFolder = program_;
    rq.window = {*from, *to};
    rq.basalPath = basal_;
    out = runDoseResponse(rq, locale);
    messages_ = out.messages;
    return out;
}

} // namespace trv
