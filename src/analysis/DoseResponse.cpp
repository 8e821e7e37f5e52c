#include "analysis/DoseResponse.h"

#include "acquisition/DataFiles.h"
#include "analysis/DosePlot.h"
#include "common/Files.h"
#include "display/SvgSurface.h"
#include "reports/ActivityFile.h"
#include "reports/ReportLoad.h"
#include "reports/ReportWriter.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>

namespace trv {

namespace {

std::string groupText(const ReportLayout& layout, int g) {
    return "group " + std::to_string(g) + " (" +
           layout.channels.Group_Name[static_cast<size_t>(g)] + ")";
}

std::string quotedCsv(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

DoseResponseResult analyseDoseResponse(const ActivitySeries& series, const ReportLayout& layout,
                                       const DoseMap& map, const MinuteWindow& window,
                                       const ActivitySeries* basal) {
    DoseResponseResult result;
    result.unit = map.unit;
    result.basal = basal != nullptr;
    const std::vector<double> rates = wellRates(series, layout, window);
    std::vector<double> basalRates;
    if (basal) basalRates = wellRates(*basal, layout, MinuteWindow{0, lastMinute(*basal)});

    const int maxGroup = layout.maxGroup();
    const std::vector<std::vector<int>> members = layout.groupMemberWells(maxGroup);
    std::set<int> mapped;
    for (const DoseEntry& e : map.entries)
        mapped.insert(e.group);
    for (int g = 0; g <= maxGroup; ++g)
        if (!members[static_cast<size_t>(g)].empty() && !mapped.count(g))
            result.messages.push_back(groupText(layout, g) +
                                      " holds wells but is not in the dose map: left out");

    // The response of every well of the map's groups, once per well.
    std::map<int, std::vector<WellResponse>> groupWells; // by group
    for (const DoseEntry& e : map.entries) {
        if (e.group > maxGroup || members[static_cast<size_t>(e.group)].empty()) {
            result.messages.push_back("group " + std::to_string(e.group) +
                                      " of the dose map holds no wells in this acquisition");
            continue;
        }
        for (int w : members[static_cast<size_t>(e.group)]) {
            WellResponse r{w, e.group, e.concentration, rates[static_cast<size_t>(w)]};
            if (basal) {
                const double b = basalRates[static_cast<size_t>(w)];
                if (b <= 0) {
                    result.messages.push_back("well " + layout.plate.wellLabel(w) + " of " +
                                              groupText(layout, e.group) +
                                              " has no basal activity: left out");
                    continue;
                }
                r.response = r.response / b * 100.0;
            }
            groupWells[e.group].push_back(r);
        }
    }

    // Compounds in the order of the map; a control (0) under a compound's
    // name belongs to it, any other control to every compound.
    std::vector<std::string> names;
    for (const DoseEntry& e : map.entries)
        if (e.concentration > 0 && std::find(names.begin(), names.end(), e.compound) == names.end())
            names.push_back(e.compound);
    for (const std::string& name : names) {
        CompoundResult c;
        c.compound = name;
        for (const DoseEntry& e : map.entries) {
            const auto it = groupWells.find(e.group);
            if (it == groupWells.end()) continue;
            if (e.concentration > 0 && e.compound == name)
                c.wells.insert(c.wells.end(), it->second.begin(), it->second.end());
            else if (e.concentration == 0 &&
                     (e.compound == name ||
                      std::find(names.begin(), names.end(), e.compound) == names.end()))
                c.controls.insert(c.controls.end(), it->second.begin(), it->second.end());
        }
        std::vector<DosePoint> points;
        for (const WellResponse& w : c.wells)
            points.push_back({w.concentration, w.response});
        c.fit = fitDoseResponse(points);
        if (!c.fit.hasIC50) result.messages.push_back(name + ": no IC50: " + c.fit.message);
        result.compounds.push_back(std::move(c));
    }
    if (names.empty()) result.messages.push_back("the dose map names no compound above 0");
    return result;
}

std::string doseResponseCsv(const DoseResponseResult& result, const std::string& separator,
                            const std::string& decimalMark) {
    const std::string& sp = separator;
    const std::string unit = result.unit.empty() ? "" : " (" + result.unit + ")";
    std::string out = "compound" + sp + "IC50" + unit + sp + "IC50 low 95%" + sp +
                      "IC50 high 95%" + sp + "hill (>0: falls with dose)" + sp + "top" + sp +
                      "bottom" + sp + "R2" + sp + "wells" + sp + "note\r\n";
    auto num = [&](double v) { return significant(v, 6, decimalMark); };
    for (const CompoundResult& c : result.compounds) {
        const CurveFit& f = c.fit;
        out += quotedCsv(c.compound);
        if (f.hasIC50)
            out += sp + num(f.curve.ic50()) + sp + num(f.ic50Low) + sp + num(f.ic50High) + sp +
                   num(f.curve.hill) + sp + num(f.curve.top) + sp + num(f.curve.bottom) + sp +
                   num(f.rSquared);
        else
            out += sp + sp + sp + sp + sp + sp + sp;
        out += sp + std::to_string(f.points) + sp + quotedCsv(f.hasIC50 ? "" : f.message) + "\r\n";
    }
    return out;
}

std::string plotFileName(const std::string& compound, std::vector<std::string>& taken) {
    std::string base = titleCopyName(compound);
    if (base.empty()) base = "compound";
    std::string name = base;
    for (int n = 2; std::find(taken.begin(), taken.end(), lower(name)) != taken.end(); ++n)
        name = base + "_" + std::to_string(n);
    taken.push_back(lower(name));
    return name + ".svg";
}

namespace {

// The activity of an acquisition; nothing (with the loader's message) when
// it cannot be read or holds no record.
std::optional<ActivitySeries> loadSeries(const std::string& folder, CollectingPrompter& prompter) {
    const std::string path = countsFilePath(folder);
    if (!fileExists(path)) {
        prompter.messages.push_back("Activity file not Found: " + path);
        return std::nullopt;
    }
    ActivitySeries series;
    const size_t told = prompter.messages.size();
    loadActivityFile(path, series, prompter);
    if (series.size() == 0) {
        if (prompter.messages.size() == told)
            prompter.messages.push_back("No whole record in " + path + ": nothing to analyse");
        return std::nullopt;
    }
    return series;
}

} // namespace

std::vector<std::string> doseResponseSummary(const DoseResponseOutcome& outcome,
                                             const std::string& mark) {
    std::vector<std::string> lines;
    const std::string unit = outcome.result.unit.empty() ? "" : " " + outcome.result.unit;
    for (const CompoundResult& c : outcome.result.compounds) {
        const CurveFit& f = c.fit;
        if (f.hasIC50)
            lines.push_back(c.compound + ": IC50 " + significant(f.curve.ic50(), 4, mark) + unit +
                            " (95 %: " + significant(f.ic50Low, 4, mark) + " to " +
                            significant(f.ic50High, 4, mark) + "), hill " +
                            significant(f.curve.hill, 3, mark) + " (" + f.curve.hillMeaning() +
                            "), R2 " +
                            significant(f.rSquared, 3, mark) + ", " + std::to_string(f.points) +
                            " wells");
    }
    lines.insert(lines.end(), outcome.messages.begin(), outcome.messages.end());
    return lines;
}

DoseResponseOutcome runDoseResponse(const DoseResponseRequest& rq, Locale& locale) {
    DoseResponseOutcome out;
    // What the loaders would show in message boxes is told with the rest.
    CollectingPrompter prompter;
    std::vector<std::string>& msg = prompter.messages;
    auto done = [&](bool written) {
        out.written = written;
        out.messages = std::move(msg);
        return out;
    };

    const auto series = loadSeries(rq.acquisitionPath, prompter);
    if (!series) return done(false);
    ReportLayout layout;
    switch (loadReportLayout(rq.acquisitionPath, rq.programFolder, layout, prompter)) {
    case LayoutLoad::Loaded:
        break;
    case LayoutLoad::NoSetup:
        msg.push_back("No setup.dat in " + rq.acquisitionPath + ": its groups are unknown");
        return done(false);
    case LayoutLoad::SetupDamaged:
        msg.push_back("The setup.dat of " + rq.acquisitionPath + " cannot be read");
        return done(false);
    case LayoutLoad::PlateMissing: // the loader has said which file is missing
        return done(false);
    case LayoutLoad::PlateDamaged:
        msg.push_back("The plate format of " + rq.acquisitionPath + " cannot be read");
        return done(false);
    }
    if (auto problem = windowProblem(rq.window, lastMinute(*series))) {
        msg.push_back("The response window cannot be used: " + *problem);
        return done(false);
    }

    const std::string dosesPath =
        rq.dosesPath.empty() ? joinPath(rq.acquisitionPath, kDoseMapFileName) : rq.dosesPath;
    if (!fileExists(dosesPath)) {
        msg.push_back("No dose map: " + dosesPath + " not found");
        return done(false);
    }
    const DoseMapRead doses = readDoseMapFile(dosesPath);
    for (const std::string& e : doses.errors)
        msg.push_back("Dose map " + dosesPath + ", " + e);
    if (!doses.ok()) return done(false);
    if (doses.map.entries.empty()) {
        msg.push_back("Dose map " + dosesPath + ": no doses");
        return done(false);
    }

    std::optional<ActivitySeries> basal;
    if (!rq.basalPath.empty()) {
        basal = loadSeries(rq.basalPath, prompter);
        if (!basal) return done(false);
        // A well is compared with itself: the basal acquisition's beams must
        // make the same wells.
        ReportLayout basalLayout = layout;
        if (loadReportLayout(rq.basalPath, rq.programFolder, basalLayout, prompter) !=
            LayoutLoad::Loaded) {
            msg.push_back("The setup of the basal acquisition " + rq.basalPath +
                          " cannot be loaded: its wells cannot be matched with the acquisition's");
            return done(false);
        }
        if (basalLayout.plate.Channel_Well != layout.plate.Channel_Well) {
            msg.push_back("The basal acquisition " + rq.basalPath +
                          " has another plate layout: its wells are not those of the acquisition");
            return done(false);
        }
        if (lastMinute(*basal) < 1) {
            msg.push_back("The basal acquisition " + rq.basalPath + " holds no whole minute");
            return done(false);
        }
    }

    out.result =
        analyseDoseResponse(*series, layout, doses.map, rq.window, basal ? &*basal : nullptr);
    msg.insert(msg.end(), out.result.messages.begin(), out.result.messages.end());

    const std::string folder = rq.outputFolder.empty() ? rq.acquisitionPath : rq.outputFolder;
    if (!folderExists(folder) && !makeFolder(folder)) {
        msg.push_back("The output folder " + folder + " cannot be created");
        return done(false);
    }
    std::string separator = locale.listSeparator();
    if (separator.empty()) separator = ",";
    const std::string mark = locale.decimalSeparator();
    out.csvPath = joinPath(folder, kDoseResponseFileName);
    if (!writePlainFile(out.csvPath, doseResponseCsv(out.result, separator, mark))) {
        msg.push_back("Cannot write " + out.csvPath);
        return done(false);
    }
    std::vector<std::string> taken;
    for (CompoundResult& c : out.result.compounds) {
        c.plotFile = plotFileName(c.compound, taken);
        SvgSurface svg(720, 460);
        Dibujar_doseresponse(svg, c, {out.result.unit, out.result.basal, mark});
        const std::string path = joinPath(folder, c.plotFile);
        if (!writePlainFile(path, svg.svg())) {
            msg.push_back("Cannot write " + path);
            return done(false);
        }
        out.plotPaths.push_back(path);
    }
    return done(true);
}

} // namespace trv
