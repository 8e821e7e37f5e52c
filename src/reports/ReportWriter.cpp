#include "reports/ReportWriter.h"

#include "common/Files.h"
#include "common/Numeric.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <unistd.h>

namespace trv {

namespace {

const std::string Q = "\"";
const std::string EOL = "\r\n";

std::string quoted(const std::string& s) {
    return Q + s + Q;
}

// Builds the report text with the conventions shared by every section.
class Renderer {
  public:
    Renderer(const ReportContent& c, const ReportOptions& o, std::string decimalMark)
        : c_(c), o_(o), L_(*c.layout), S_(*c.stats), sp_(o.separator),
          mark_(std::move(decimalMark)) {
        G_ = S_.maxGroup;
    }

    std::string render(const std::string& dateText) {
        header(dateText);
        switch (o_.format) {
        case OutputFormat::Rows:
        case OutputFormat::List:
            groupSections();
            samples();
            temperature(o_.format == OutputFormat::List);
            wellActivity();
            if (!c_.basal) channelActivity();
            break;
        case OutputFormat::WArray:
            wellGroupMap();
            temperature(false);
            wellArrayBlocks();
            break;
        case OutputFormat::ChArray:
            channelGroupMap();
            temperature(false);
            if (!c_.basal) channelArrayBlocks();
            break;
        case OutputFormat::Histogram:
            groupHistogram();
            temperature(false);
            wellHistogram();
            break;
        }
        return std::move(out_);
    }

  private:
    bool list() const { return o_.format == OutputFormat::List; }
    void line(const std::string& s) { out_ += s + EOL; }
    void empty() { out_ += EOL; }
    std::string one(double v) const { return withDecimalMark(fixedDecimals(v, 1), mark_); }
    std::string timeLabel(int c) const {
        long long t = std::min<long long>(static_cast<long long>(c_.binSize) * c, c_.tmax);
        return std::to_string(t);
    }
    std::string num(long long v) const { return std::to_string(v); }
    int columns() const { return S_.columnCount; }
    bool present(int c) const { return S_.present(c); }
    int32_t wellCount(int g) const { return S_.groupWellCount[static_cast<size_t>(g)]; }

    // The group label of a channel, free when it is in no group.
    std::string channelGroupLabel(int ch) const {
        return L_.inGroup(ch) ? L_.groupLabel(L_.groupOf(ch)) : ReportLayout::freeLabel();
    }
    std::string wellGroupLabel(int w) const { return channelGroupLabel(L_.beam0Channel(w)); }
    bool hasBeam0(int w) const {
        int ch = L_.beam0Channel(w);
        return ch >= 0 && ch < kChannels;
    }

    void header(const std::string& dateText) {
        line(quoted("DATE:") + sp_ + quoted(dateText));
        line(quoted("FILE:") + sp_ + quoted(c_.acquisitionPath));
        line(quoted("SUBPROJECT:") + sp_ + quoted(c_.title));
        line(quoted("SETTING:") + sp_ + quoted(c_.setting));
        if (c_.basal) {
            line(quoted("TIME0(BASAL MEASSURE):") + sp_ + quoted(c_.basalChoice));
            empty();
            line(quoted("***DATA AS % OF BASAL ACTIVITY***"));
        } else {
            empty();
        }
    }

    // ---- Rows and List ----

    // One group section: the value of a group in a column and at time 0.
    template <typename Value>
    void groupSection(const std::string& title, Value value, const std::string& time0) {
        line(quoted(title));
        if (!list()) {
            std::string h = "Group/Time[m]";
            if (c_.basal) h += sp_ + "0";
            for (int c = 1; c <= columns(); ++c)
                if (present(c)) h += sp_ + timeLabel(c);
            line(h);
            for (int g = 0; g <= G_; ++g) {
                std::string l = L_.groupLabel(g);
                if (wellCount(g) > 0) {
                    if (c_.basal) l += sp_ + (time0.empty() ? num(wellCount(g)) : time0);
                    for (int c = 1; c <= columns(); ++c)
                        if (present(c)) l += sp_ + value(g, c);
                }
                line(l);
            }
        } else {
            line("Time" + sp_ + "Group" + sp_ + "Value");
            empty();
            for (int g = 0; g <= G_; ++g) {
                if (wellCount(g) > 0) {
                    const std::string gl = L_.groupLabel(g);
                    if (c_.basal)
                        line("0" + sp_ + gl + sp_ + (time0.empty() ? num(wellCount(g)) : time0));
                    for (int c = 1; c <= columns(); ++c)
                        if (present(c)) line(timeLabel(c) + sp_ + gl + sp_ + value(g, c));
                }
                empty();
            }
        }
        empty();
    }

    void groupSections() {
        groupSection(
            "<<<<<< Group Activity: Average Activity Counts per Data Interval>>>>>>",
            [&](int g, int c) { return num(S_.groupMean.at(g, c)); }, "100");
        if (o_.stdError)
            groupSection(
                "<<<<<< Group Activity: Standard Error >>>>>>",
                [&](int g, int c) {
                    int32_t sd = S_.groupStdDev.at(g, c), m = wellCount(g);
                    if (sd < 1 || m < 1) return one(0);
                    return one(sd / std::sqrt(static_cast<double>(m)));
                },
                one(0));
        if (o_.stdDev)
            groupSection(
                "<<<<<< Group Activity: Standard Deviation >>>>>>",
                [&](int g, int c) { return one(S_.groupStdDev.at(g, c)); }, one(0));
        // An empty time-0 value stands for the well count itself.
        if (o_.wellCount)
            groupSection(
                "<<<<<< Group Activity: Number of wells/group >>>>>>",
                [&](int g, int) { return num(wellCount(g)); }, "");
    }

    void samples() {
        line(quoted("<<<<<< Number of Samples per Acquisition Interval [1unit=500values] >>>>>>"));
        const long long B = c_.binSize;
        if (!list()) {
            std::string t = "Time[m]" + sp_, s = "#Samples" + sp_;
            if (c_.basal) {
                t += "0" + sp_;
                s += num(B) + sp_;
            }
            for (int c = 1; c <= columns(); ++c) {
                if (!present(c)) continue;
                t += timeLabel(c) + sp_;
                s += num(B * S_.samples[static_cast<size_t>(c)]) + sp_;
            }
            line(t);
            line(s);
        } else {
            line("Time" + sp_ + "#Samples");
            empty();
            if (c_.basal) line("0" + sp_ + num(B));
            for (int c = 1; c <= columns(); ++c)
                if (present(c))
                    line(timeLabel(c) + sp_ + num(B * S_.samples[static_cast<size_t>(c)]));
        }
        empty();
    }

    void temperature(bool listForm) {
        line(quoted("<<<<<< Average Temperature [\u00B0C] >>>>>>"));
        auto value = [&](int c) {
            return one(S_.columnTemperature[static_cast<size_t>(c)] / 10.0);
        };
        if (!listForm) {
            std::string t = "Time[m]" + sp_, v = "Temp[\u00B0C]" + sp_;
            if (c_.basal) {
                t += "0" + sp_;
                v += "?" + sp_;
            }
            for (int c = 1; c <= columns(); ++c) {
                if (!present(c)) continue;
                t += timeLabel(c) + sp_;
                v += value(c) + sp_;
            }
            line(t);
            line(v);
        } else {
            line("Time" + sp_ + "Avrg_Temp[\u00B0C]");
            empty();
            if (c_.basal) line("0" + sp_ + "?");
            for (int c = 1; c <= columns(); ++c)
                if (present(c)) line(timeLabel(c) + sp_ + value(c));
        }
        empty();
    }

    void wellActivity() {
        line(quoted("<<<<<< Well Activity >>>>>>"));
        const int wells = L_.wellCount();
        if (!list()) {
            std::string h = "Well" + sp_ + "Group/Time[m]";
            if (c_.basal) h += sp_ + "0";
            for (int c = 1; c <= columns(); ++c)
                if (present(c)) h += sp_ + timeLabel(c);
            line(h);
            for (int w = 0; w < wells; ++w) {
                if (!hasBeam0(w)) continue;
                std::string l = L_.plate.wellLabel(w) + sp_ + wellGroupLabel(w);
                if (c_.basal) l += sp_ + "100";
                for (int c = 1; c <= columns(); ++c)
                    if (present(c)) l += sp_ + num(S_.wellValue.at(w, c));
                line(l);
            }
        } else {
            line("Time" + sp_ + "Well" + sp_ + "Group" + sp_ + "Value");
            empty();
            for (int w = 0; w < wells; ++w) {
                if (!hasBeam0(w)) continue;
                const std::string item = L_.plate.wellLabel(w) + sp_ + wellGroupLabel(w);
                if (c_.basal) line("0" + sp_ + item + sp_ + "100");
                for (int c = 1; c <= columns(); ++c)
                    if (present(c))
                        line(timeLabel(c) + sp_ + item + sp_ + num(S_.wellValue.at(w, c)));
                empty();
            }
        }
    }

    void channelActivity() {
        line(quoted("<<<<<< Channel Activity >>>>>>"));
        if (!list()) {
            std::string h = "Channel" + sp_ + "Well" + sp_ + "Group/Time[m]";
            for (int c = 1; c <= columns(); ++c)
                if (present(c)) h += sp_ + timeLabel(c);
            line(h);
        } else {
            line("Time" + sp_ + "Channel" + sp_ + "Well" + sp_ + "Group" + sp_ + "Value");
            empty();
        }
        for (int ch = 0; ch < kChannels; ++ch) {
            if (L_.wellOf(ch) < 0) continue;
            const std::string item =
                "CH" + num(ch) + sp_ + L_.plate.channelLabel(ch) + sp_ + channelGroupLabel(ch);
            if (!list()) {
                std::string l = item;
                for (int c = 1; c <= columns(); ++c)
                    if (present(c)) l += sp_ + num(S_.channelValue.at(ch, c));
                line(l);
            } else {
                for (int c = 1; c <= columns(); ++c)
                    if (present(c))
                        line(timeLabel(c) + sp_ + item + sp_ + num(S_.channelValue.at(ch, c)));
                empty();
            }
        }
    }

    // ---- Arrays ----

    std::string columnHeader(int plateColumns) const {
        std::string h = "Row/Column" + sp_;
        for (int i = 1; i <= plateColumns; ++i)
            h += num(i) + sp_;
        return h;
    }
    static std::string rowLetter(int r) { return std::string(1, static_cast<char>('A' + r)); }
    int plateWell(int row, int column) const { return column * L_.plate.Plate_Rows + row; }
    bool wellUsed(int w) const { return w >= 0 && w < L_.wellCount() && hasBeam0(w); }

    void wellGroupMap() {
        line(quoted("<<<<<<WELL ARRAY. Group Configuration>>>>>>"));
        const int rows = L_.plate.Plate_Rows, cols = L_.plate.Plate_Columns;
        line(columnHeader(cols));
        for (int r = 0; r < rows; ++r) {
            std::string l = quoted(rowLetter(r));
            for (int i = 0; i < cols; ++i) {
                int w = plateWell(r, i);
                l += sp_ + (wellUsed(w) ? wellGroupLabel(w) : std::string("-"));
            }
            line(l);
        }
        empty();
    }

    void wellArrayBlocks() {
        line(quoted("<<<<<<WELL ARRAY. Well Activity>>>>>>"));
        const int rows = L_.plate.Plate_Rows, cols = L_.plate.Plate_Columns;
        if (c_.basal) {
            line("Time_Block[m]" + sp_ + "0");
            line(columnHeader(cols));
            for (int r = 0; r < rows; ++r) {
                std::string l = quoted(rowLetter(r));
                for (int i = 0; i < cols; ++i)
                    l += sp_ + (wellUsed(plateWell(r, i)) ? "100" : "-");
                line(l);
            }
            empty();
        }
        for (int c = 1; c <= columns(); ++c) {
            if (!present(c)) continue;
            line("Time_Block[m]" + sp_ + timeLabel(c));
            line(columnHeader(cols));
            for (int r = 0; r < rows; ++r) {
                std::string l = rowLetter(r);
                for (int i = 0; i < cols; ++i) {
                    int w = plateWell(r, i);
                    l += sp_ + (wellUsed(w) ? num(S_.wellValue.at(w, c)) : std::string("-"));
                }
                line(l);
            }
            empty();
        }
    }

    void channelGroupMap() {
        line(quoted("<<<<<<CHANNEL ARRAY. Group Configuration>>>>>>"));
        line(columnHeader(24));
        for (int r = 0; r < 16; ++r) {
            std::string l = quoted(rowLetter(r));
            for (int i = 0; i < 24; ++i) {
                int ch = i * 16 + r;
                if (L_.wellOf(ch) < 0)
                    l += sp_ + "-";
                else if (!L_.inGroup(ch))
                    l += sp_ + quoted(" 999_Free");
                else
                    l += sp_ + L_.groupLabel(L_.groupOf(ch));
            }
            line(l);
        }
        empty();
    }

    void channelArrayBlocks() {
        line("ARRAY OUTPUT FORMAT");
        for (int c = 1; c <= columns(); ++c) {
            if (!present(c)) continue;
            line("Time_Block[m]" + sp_ + timeLabel(c));
            line(columnHeader(24));
            for (int r = 0; r < 16; ++r) {
                std::string l = rowLetter(r);
                for (int i = 0; i < 24; ++i) {
                    int ch = i * 16 + r;
                    l += sp_ +
                         (L_.wellOf(ch) < 0 ? std::string("-") : num(S_.channelValue.at(ch, c)));
                }
                line(l);
            }
            empty();
        }
    }

    // ---- Histograms ----

    static constexpr int kWrittenBins = 31; // bins 0..30 are reported

    std::string frequencyLabels() const {
        const double msps = c_.histograms ? c_.histograms->meanSecondsPerSample : 0.0;
        std::string s;
        for (int k = 0; k < kWrittenBins; ++k)
            s += sp_ + one(k * msps);
        return s;
    }

    void groupHistogram() {
        line(quoted(
            "<<<<<< Group Histogram: Average Number of Frequency Counts per Data Interval>>>>>>"));
        line("Time[m]" + sp_ + "Group/Frequency:" + frequencyLabels());
        for (int c = 1; c <= columns(); ++c) {
            if (!present(c)) continue;
            for (int g = 0; g <= G_; ++g) {
                std::string l = timeLabel(c) + sp_ + L_.groupLabel(g);
                for (int k = 0; k < kWrittenBins; ++k)
                    l += sp_ + num(c_.histograms ? c_.histograms->groupHistogram.at(k, g, c) : 0);
                line(l);
            }
        }
        empty();
    }

    void wellHistogram() {
        line(quoted(
            "<<<<<< Well Histogram: Average Number of Frequency Counts per Data Interval>>>>>>"));
        line("Time[m]" + sp_ + "Well" + sp_ + "Group/Frequency:" + frequencyLabels());
        const int wells = L_.wellCount();
        for (int c = 1; c <= columns(); ++c) {
            const std::string t = num(static_cast<long long>(c_.binSize) * c);
            for (int w = 0; w < wells; ++w) {
                if (!hasBeam0(w)) continue;
                std::string l = t + sp_ + L_.plate.wellLabel(w) + sp_ + wellGroupLabel(w);
                if (present(c))
                    for (int k = 0; k < kWrittenBins; ++k)
                        l +=
                            sp_ + num(c_.histograms ? c_.histograms->wellHistogram.at(k, w, c) : 0);
                line(l);
            }
        }
    }

    const ReportContent& c_;
    const ReportOptions& o_;
    const ReportLayout& L_;
    const ReportStatistics& S_;
    const std::string sp_;
    const std::string mark_;
    int G_ = 0;
    std::string out_;
};

// Tries the name without leaving anything behind: an existing file is
// opened for appending, a new one is created and removed again.
bool canOpenForWriting(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    if (errno != ENOENT) return false;
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(path.c_str());
    return true;
}

} // namespace

std::string reportExtension(int fileType) {
    return fileType == 1 ? ".txt" : ".csv";
}

std::string renderReport(const ReportContent& content, const ReportOptions& options,
                         const std::string& dateText, const std::string& decimalMark) {
    Renderer r(content, options, decimalMark);
    return r.render(dateText);
}

std::string chooseReportName(const std::string& folder, const std::string& extension) {
    if (canOpenForWriting(joinPath(folder, "report" + extension))) return "report";
    // A bounded search: a folder where nothing can be written has no name.
    for (int i = 1; i <= 999; ++i) {
        std::string base = "report_" + std::to_string(i);
        if (canOpenForWriting(joinPath(folder, base + extension))) return base;
    }
    return "";
}

std::string titleCopyName(const std::string& title) {
    std::string out;
    for (unsigned char ch : title) {
        const bool refused = ch < 0x20 || ch == 0x7F || ch == ' ' || ch == '/' || ch == '\\' ||
                             ch == ':' || ch == '*' || ch == '?' || ch == '"' || ch == '<' ||
                             ch == '>' || ch == '|';
        out += refused ? '_' : static_cast<char>(ch);
    }
    // Leave room for the extension within the 255 bytes a name may have,
    // without cutting a multi-byte character in two.
    constexpr size_t kMaxBytes = 200;
    if (out.size() > kMaxBytes) {
        size_t cut = kMaxBytes;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80)
            --cut;
        out.resize(cut);
    }
    if (out.find_first_not_of('.') == std::string::npos) return "";
    return out;
}

std::optional<std::string> writeReport(const ReportContent& content, const ReportOptions& options,
                                       Ports& ports) {
    const std::string folder =
        options.outputFolder.empty() ? content.acquisitionPath : options.outputFolder;
    const std::string ext = reportExtension(options.fileType);
    const std::string base = chooseReportName(folder, ext);
    if (base.empty()) return std::nullopt;
    const std::string path = joinPath(folder, base + ext);

    std::string text =
        renderReport(content, options, ports.locale.formatDateTime(ports.clock.now()),
                     ports.locale.decimalSeparator());
    if (!writeFileAtomic(path, text)) return std::nullopt;

    ports.pump.processEvents(1000);
    if (!content.title.empty()) {
        // The title is typed by the user: the copy stays in the folder under
        // a harmless name, and never replaces the report itself.
        std::string name = titleCopyName(content.title);
        if (!name.empty() && name != base) copyFile(path, joinPath(folder, name + ext));
    }
    ports.pump.processEvents(1000);
    if (!options.autoreport) openForUser(ports.desktop, ports.prompter, path);
    return path;
}

} // namespace trv
