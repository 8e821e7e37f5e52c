#include "analysis/DoseResponse.h"
#include "analysis/RhythmAnalysis.h"
#include "analysis/RhythmPlot.h"
#include "common/Files.h"
#include "display/SvgSurface.h"

namespace trv {

RhythmOutcome computeRhythm(const RhythmRequest& rq, Prompter& prompter,
                            const RhythmProgress& progress) {
    RhythmOutcome out;
    if (auto problem = rhythmParameterProblem(rq.parameters)) {
        out.usage = true;
        out.error = *problem;
        return out;
    }
    if (progress) progress(0, 1, "reading");
    AcquisitionData data;
    if (!loadAcquisitionData(rq.acquisitionPath, rq.programFolder, data, out.error, prompter))
        return out;
    WellSeries minutes = buildWellSeries(data, 1);
    data.records.clear();
    std::string problem;
    out.result = analyseRhythm(std::move(minutes), rq.parameters, data.setup, problem, progress);
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
    auto actogramSvg = [](const ActogramData& a) {
        SvgSurface svg(900, 60 + 36 * actogramRows(a));
        Dibujar_actogram(svg, a);
        return svg.svg();
    };
    for (const RhythmGroupResult& g : r.groups) {
        const std::string name = rhythmGroupName(g);
        files.push_back(
            {plotFileName("actogram_" + name, taken), actogramSvg(groupActogram(r, g))});
        SvgSurface pg(640, 360);
        Dibujar_periodogram(pg, g.meanPeriodogram, groupPeriodogramTitle(g), f.decimalMark);
        files.push_back({plotFileName("periodogram_" + name, taken), pg.svg()});
    }
    if (rq.perWell)
        for (size_t i = 0; i < r.wells.size(); ++i)
            files.push_back(
                {plotFileName("actogram_" + std::to_string(r.minutes.wells[i].well), taken),
                 actogramSvg(wellActogram(r, i))});
    out.written = writeAnalysisFiles(rq.outputFolder.empty() ? rq.acquisitionPath : rq.outputFolder,
                                     files, out.files, out.error);
    return out.written;
}

} // namespace trv
