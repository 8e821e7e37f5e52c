#include "analysis/DoseResponse.h"
#include "analysis/RhythmAnalysis.h"
#include "analysis/RhythmPlot.h"
#include "common/Files.h"
#include "display/SvgSurface.h"

namespace trv {

RhythmOutcome computeRhythm(const RhythmRequest& rq, Prompter& prompter) {
    RhythmOutcome out;
    if (auto problem = rhythmParameterProblem(rq.parameters)) {
        out.usage = true;
        out.error = *problem;
        return out;
    }
    AcquisitionData data;
    if (!loadAcquisitionData(rq.acquisitionPath, rq.programFolder, data, out.error, prompter))
        return out;
    WellSeries minutes = buildWellSeries(data, 1);
    data.records.clear();
    std::string problem;
    out.result = analyseRhythm(std::move(minutes), rq.parameters, data.setup, problem);
    if (!out.result) {
        out.usage = true;
        out.error = problem;
    }
    return out;
}

bool writeRhythmFiles(const RhythmRequest& rq, Locale& locale, RhythmOutcome& out) {
    if (!out.result) return false;
    const CsvFormat f = sleepFormat(locale, rq.separator);
    const RhythmResult& r = *out.result;
    std::vector<std::pair<std::string, std::string>> files = {
        {kRhythmWellsFile, rhythmWellsCsv(r, f)},
        {kRhythmGroupsFile, rhythmGroupsCsv(r, f)},
        {kPeriodogramsFile, periodogramsCsv(r, f)},
        {kRhythmSettingsFile, rhythmSettingsText(r, f)},
    };
    std::vector<std::string> taken;
    for (const RhythmGroupResult& g : r.groups) {
        std::vector<size_t> members;
        for (size_t i = 0; i < r.wells.size(); ++i)
            if (r.minutes.wells[i].group == g.group) members.push_back(i);
        const std::string name = g.name.empty() ? "group " + std::to_string(g.group) : g.name;
        const ActogramData a = actogramOf(r, members, name + " (mean of its wells)");
        SvgSurface acto(900, 60 + 36 * actogramRows(a));
        Dibujar_actogram(acto, a);
        files.push_back({plotFileName("actogram_" + name, taken), acto.svg()});
        SvgSurface pg(640, 360);
        Dibujar_periodogram(pg, g.meanPeriodogram, name + ": mean chi-square periodogram",
                            f.decimalMark);
        files.push_back({plotFileName("periodogram_" + name, taken), pg.svg()});
    }
    if (rq.perWell)
        for (size_t i = 0; i < r.wells.size(); ++i) {
            const SeriesWell& w = r.minutes.wells[i];
            const ActogramData a =
                actogramOf(r, {i}, w.label + " (well " + std::to_string(w.well) + ")");
            SvgSurface acto(900, 60 + 36 * actogramRows(a));
            Dibujar_actogram(acto, a);
            files.push_back(
                {plotFileName("actogram_" + std::to_string(w.well), taken), acto.svg()});
        }
    out.written = writeAnalysisFiles(rq.outputFolder.empty() ? rq.acquisitionPath : rq.outputFolder,
                                     files, out.files, out.error);
    return out.written;
}

} // namespace trv
