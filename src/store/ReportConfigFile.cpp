#include "store/ReportConfigFile.h"

#include "common/Files.h"
#include "common/Locale.h"
#include "common/Prompter.h"
#include "common/TextRecord.h"
#include "store/StoreText.h"

namespace trv {

namespace {

void keepInRange(int16_t& v, int lo, int hi, int16_t fallback) {
    if (v < lo || v > hi) v = fallback;
}

std::string reportConfigPath(const SharedState& s) {
    return joinPath(s.Program_Folder, kReportConfigFileName);
}

} // namespace

void readListSeparator(SharedState& s, Locale& locale) {
    std::string sep = locale.listSeparator();
    // A terminating character from a C interface is not part of it.
    while (!sep.empty() && sep.back() == '\0')
        sep.pop_back();
    s.List_Separator = sep.empty() ? "," : sep;
}

void resetReportConfig(SharedState& s, Locale& locale) {
    readListSeparator(s, locale);
    s.report = ReportConfig{};
    s.report.spacer = s.List_Separator;
}

std::string reportConfigText(const ReportConfig& c, int userDefined) {
    RecordWriter w;
    w.header(kReportConfigHeader);
    w.integer(userDefined)
        .integer(c.Bin)
        .integer(c.filetype)
        .text(storeText(c.spacer))
        .integer(c.stdError)
        .integer(c.stdDev)
        .integer(c.n)
        .integer(c.out_format)
        .integer(c.organism)
        .integer(c.method)
        .integer(c.threshold)
        .integer(c.rawexport)
        .end();
    return w.str();
}

bool saveReportConfig(SharedState& s, int userFlag, Prompter& prompter) {
    if (!writeFileAtomic(reportConfigPath(s), reportConfigText(s.report, userFlag))) {
        prompter.show(kReportConfigSaveError);
        return false;
    }
    s.report.User_defined = static_cast<int16_t>(userFlag);
    return true;
}

int loadReportConfig(SharedState& s, int userFlag, Prompter& prompter, Locale& locale) {
    const std::string path = reportConfigPath(s);
    try {
        if (fileExists(path) && userFlag != 0) {
            auto content = readStoreFile(path);
            if (!content) throw RecordError("unreadable");
            RecordReader r(std::move(*content));
            ReportConfig c;
            r.item();
            c.User_defined = r.int16();
            c.Bin = r.int16();
            c.filetype = r.int16();
            c.spacer = r.item();
            c.stdError = r.int16();
            c.stdDev = r.int16();
            c.n = r.int16();
            c.out_format = r.int16();
            c.organism = r.int16();
            c.method = r.int16();
            c.threshold = r.int16();
            c.rawexport = r.int16();
            const ReportConfig d;
            keepInRange(c.Bin, 2, 1440, d.Bin);
            keepInRange(c.filetype, 0, 1, d.filetype);
            keepInRange(c.stdError, 0, 1, d.stdError);
            keepInRange(c.stdDev, 0, 1, d.stdDev);
            keepInRange(c.n, 0, 1, d.n);
            keepInRange(c.out_format, 0, 3, d.out_format);
            keepInRange(c.organism, 0, 3, d.organism);
            keepInRange(c.method, 0, 2, d.method);
            keepInRange(c.threshold, 5, 30, d.threshold);
            keepInRange(c.rawexport, 0, 1, d.rawexport);
            s.report = c;
            return c.User_defined;
        }
        // Defaults (nothing to load): a write that fails is said as a write,
        // the file as it was is no reason to complain about.
        resetReportConfig(s, locale);
        saveReportConfig(s, userFlag, prompter);
        return 0;
    } catch (const RecordError&) {
        prompter.show(kReportConfigLoadError);
        resetReportConfig(s, locale);
        saveReportConfig(s, 0, prompter);
        return 0;
    }
}

} // namespace trv
