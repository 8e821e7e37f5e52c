#include "reports/ReportOptionsModel.h"

#include "common/Numeric.h"
#include "store/ReportConfigFile.h"

#include <algorithm>

namespace trv {

const std::vector<std::string>& binSizeEntries() {
    static const std::vector<std::string> entries = {"5",   "15",  "30",  "60",  "120", "180",
                                                     "240", "360", "480", "720", "1440"};
    return entries;
}

const std::vector<std::string>& fileTypeEntries() {
    static const std::vector<std::string> entries = {"Excel [.csv]", "Text [.txt]"};
    return entries;
}

const std::vector<std::string>& reportOutputEntries() {
    static const std::vector<std::string> entries = {"Rows", "List", "W.Array", "CH.Array",
                                                     "Histogram Body_bends (experimental)"};
    return entries;
}

const std::vector<std::string>& dialogOutputEntries() {
    static const std::vector<std::string> entries = {"Rows", "List", "WArray", "CHArray"};
    return entries;
}

const std::vector<std::string>& statisticEntries() {
    static const std::vector<std::string> entries = {"Average", "Median", "Std Error", "Std Dev",
                                                     "N"};
    return entries;
}

ReportOptionFields optionFieldsOf(const ReportConfig& c) {
    ReportOptionFields f;
    f.binText = std::to_string(c.Bin);
    if (std::find(f.binEntries.begin(), f.binEntries.end(), f.binText) == f.binEntries.end())
        f.binEntries.push_back(f.binText);
    f.fileType = c.filetype == 1 ? 1 : 0;
    f.spacer = c.spacer;
    f.outputFormat = c.out_format >= 0 && c.out_format <= 3 ? c.out_format : 0;
    f.statistics[kStatStdError] = c.stdError == 1;
    f.statistics[kStatStdDev] = c.stdDev == 1;
    f.statistics[kStatN] = c.n == 1;
    f.rawExport = c.rawexport == 1;
    return f;
}

ReportOptions reportOptionsOf(const ReportOptionFields& f, bool autoreport) {
    ReportOptions o;
    o.format = static_cast<OutputFormat>(std::clamp(f.outputFormat, 0, 4));
    o.fileType = f.fileType == 1 ? 1 : 0;
    o.separator = f.spacer;
    o.stdError = f.statistics[kStatStdError];
    o.stdDev = f.statistics[kStatStdDev];
    o.wellCount = f.statistics[kStatN];
    o.autoreport = autoreport;
    return o;
}

int16_t binSizeValue(const std::string& text) {
    const double v = leadingNumber(commaAsPoint(text));
    if (!(v > -32768.5)) return -32768;
    if (!(v < 32767.5)) return 32767;
    return static_cast<int16_t>(roundHalfEven(v));
}

ReportOptionsModel::ReportOptionsModel(SharedState& state, Ports& ports, ReportOptionsHooks hooks)
    : s_(state), ports_(ports), hooks_(std::move(hooks)) {}

void ReportOptionsModel::open() {
    loadReportConfig(s_, 1, ports_.prompter, ports_.locale);
    fields = optionFieldsOf(s_.report);
    Chk_autofile = true;
}

void ReportOptionsModel::Cmd_generate_Click() {
    ReportConfig& c = s_.report;
    c.Bin = binSizeValue(fields.binText);
    c.filetype = static_cast<int16_t>(fields.fileType == 1 ? 1 : 0);
    c.spacer = fields.spacer;
    c.out_format = static_cast<int16_t>(std::clamp(fields.outputFormat, 0, 3));
    c.stdError = fields.statistics[kStatStdError] ? 1 : 0;
    c.stdDev = fields.statistics[kStatStdDev] ? 1 : 0;
    c.n = fields.statistics[kStatN] ? 1 : 0;
    c.rawexport = fields.rawExport ? 1 : 0;
    saveReportConfig(s_, 1, ports_.prompter);
    ports_.prompter.show("User Configuration Applied");
    if (hooks_.setUserBinSize) hooks_.setUserBinSize(true);
    if (hooks_.hide) hooks_.hide();
}

void ReportOptionsModel::Cmd_cancel_Click() {
    resetReportConfig(s_, ports_.locale);
    saveReportConfig(s_, 0, ports_.prompter);
    fields = optionFieldsOf(s_.report);
    ports_.prompter.show("Default Report Configuration Applied");
    if (hooks_.setUserBinSize) hooks_.setUserBinSize(false);
    if (hooks_.hide) hooks_.hide();
}

} // namespace trv
