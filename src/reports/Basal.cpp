#include "reports/Basal.h"

#include "common/Files.h"
#include "common/Numeric.h"

#include <algorithm>
#include <vector>

namespace trv {

namespace {
constexpr size_t kFolderNameLength = 13; // yyyymmdd_hhmm

int typedMinutes(const std::string& text) {
    double v = leadingNumber(commaAsPoint(text));
    if (v > 2e9 || v < -2e9) return -1;
    return static_cast<int>(roundHalfEven(v));
}

// Grouped channels are normalised; free ones (and the legacy free number
// 999, which inGroup already refuses) are left as they are.
bool normalised(const ReportLayout& layout, int ch) {
    return layout.wellOf(ch) >= 0 && layout.inGroup(ch) && layout.groupOf(ch) != 999;
}
} // namespace

bool basalRequested(const std::string& basalChoice) {
    return !basalChoice.empty() && basalChoice != "-" && basalChoice.size() > 12;
}

std::string basalFolderOf(const std::string& acquisitionPath, const std::string& basalChoice) {
    std::string project =
        acquisitionPath.size() >= kFolderNameLength
            ? acquisitionPath.substr(0, acquisitionPath.size() - kFolderNameLength)
            : std::string();
    // The choice names a sibling folder; a text that would lead elsewhere
    // names none.
    const std::string name = basalChoice.substr(0, kFolderNameLength);
    if (!isSafeName(name)) return "";
    return project + name;
}

std::optional<int> askBasalMinutes(int basalMinutes, int binSize, Prompter& prompter) {
    const int B = binSize, BD = basalMinutes;
    if (1.5 * B >= BD) return B;
    const std::string title = "Basal Calculation";
    const std::string question =
        "Basal acquisition is " + std::to_string(BD) +
        "min long, and BinSize=" + std::to_string(B) + "min. " + "\r\n\r\n" +
        "How many minutes do you want to use to calculate Basal Meassurement?";
    const int preset = BD < 2 * B ? B : 2 * B;
    auto inRange = [&](int m) { return m >= B && m <= BD; };
    for (;;) {
        InputResult a = prompter.input(question, title, std::to_string(preset));
        if (a.cancelled) return std::nullopt;
        int m = typedMinutes(a.text);
        if (inRange(m)) return m;
        InputResult b = prompter.input("Enter a value between " + std::to_string(B) + " and " +
                                           std::to_string(BD),
                                       title, std::to_string(B));
        if (b.cancelled) return std::nullopt;
        m = typedMinutes(b.text);
        if (inRange(m)) return m;
    }
}

BasalResult applyBasal(ActivitySeries& series, int lastBin, const ActivitySeries& basalSeries,
                       int basalLastBin, int basalMinutesUsed, int binSize, ReportLayout& layout,
                       Prompter& prompter) {
    BasalResult result;
    const int M = basalMinutesUsed, B = binSize;
    const int last = std::min(lastBin, series.lastIndex());
    const int nb = std::min(basalLastBin, basalSeries.lastIndex());

    // One bin's worth of basal activity per channel.
    std::vector<long long> basal(kChannels, 0);
    for (int ch = 0; ch < kChannels; ++ch) {
        long long sum = 0;
        for (int k = 0; k <= nb && basalSeries.time[static_cast<size_t>(k)] <= M; ++k) {
            sum += basalSeries.count(ch, k);
            checkedInt16(sum);
        }
        basal[static_cast<size_t>(ch)] = sum;
        if (B < M) basal[static_cast<size_t>(ch)] = roundHalfEven(static_cast<double>(sum) * B / M);
    }

    // All channels of a well carry the well's averages from here on.
    const int wells = layout.wellCount();
    std::vector<int> chans;
    for (int w = 0; w < wells; ++w) {
        chans.clear();
        for (int b = 0; b <= layout.plate.Max_Beam; ++b) {
            int ch = layout.plate.wellChannel(w, b);
            if (ch >= 0 && ch < kChannels) chans.push_back(ch);
        }
        if (chans.empty()) continue;
        const double n = static_cast<double>(chans.size());
        long long basalSum = 0;
        for (int ch : chans)
            basalSum += basal[static_cast<size_t>(ch)];
        const long long wellBasal = roundHalfEven(static_cast<double>(basalSum) / n);
        for (int k = 0; k <= last; ++k) {
            long long s = 0;
            for (int ch : chans)
                s += series.count(ch, k);
            const int16_t v = roundToInt16(static_cast<double>(s) / n);
            for (int ch : chans)
                series.count(ch, k) = v;
        }
        for (int ch : chans)
            basal[static_cast<size_t>(ch)] = wellBasal;
    }

    // Grouped wells without basal activity: ask once for a rule for all.
    int zeroWells = 0;
    for (int w = 0; w < wells; ++w) {
        int ch = layout.beam0Channel(w);
        if (ch < 0 || ch >= kChannels || !layout.inGroup(ch) || layout.groupOf(ch) == 999) continue;
        if (basal[static_cast<size_t>(ch)] < 1) ++zeroWells;
    }
    if (zeroWells > 0) {
        if (!prompter.askYesNo("You have " + std::to_string(zeroWells) +
                               " BASAL WELLS with 0 activity. Proceed anyway??")) {
            result.proceed = false;
            return result;
        }
        Answer a =
            prompter.message("For ZERO Activity Basal Wells:\r\n"
                             "[YES] to replace <BASAL Well> with <MAX Well Activity>\r\n"
                             "[NO] to replace <BASAL Well> with <BASAL Microplate Average>\r\n"
                             "[CANCEL] to DISCARD Well in Calculation\r\n\r\n"
                             "TO BE APPLIED TO ALL 0 ACTIVITY BASAL WELLs",
                             Buttons::YesNoCancel);
        result.rule = a == Answer::Yes  ? ZeroBasalRule::Maximum
                      : a == Answer::No ? ZeroBasalRule::PlateAverage
                                        : ZeroBasalRule::Discard;
    }

    for (int ch = 0; ch < kChannels; ++ch) {
        if (!normalised(layout, ch)) continue;
        long long& b = basal[static_cast<size_t>(ch)];
        if (b < 1) {
            switch (result.rule) {
            case ZeroBasalRule::Maximum: {
                long long mx = 0;
                for (int k = 0; k <= last; ++k)
                    mx = std::max<long long>(mx, series.count(ch, k));
                b = mx;
                break;
            }
            case ZeroBasalRule::PlateAverage: {
                long long sum = 0;
                int n = 0;
                for (int c = 0; c < kChannels; ++c) {
                    if (!normalised(layout, c)) continue;
                    sum += basal[static_cast<size_t>(c)];
                    ++n;
                }
                b = roundHalfEven(static_cast<double>(sum) / n);
                break;
            }
            case ZeroBasalRule::Discard:
                b = -1;
                break;
            case ZeroBasalRule::None:
                // A grouped channel of a well without beam 0 was not part of
                // the question: it has no basal and is discarded.
                break;
            }
        }
        if (b < 1) {
            layout.channels.Channel_Group[static_cast<size_t>(ch)] = -1;
            for (int k = 0; k <= last; ++k)
                series.count(ch, k) = -999;
            ++result.discardedChannels;
            continue;
        }
        for (int k = 0; k <= last; ++k) {
            double pct = std::min(
                static_cast<double>(series.count(ch, k)) * 100 / static_cast<double>(b), 10000.0);
            series.count(ch, k) = roundToInt16(pct);
        }
    }

    if (result.discardedChannels > 0)
        prompter.show("ERROR in " + std::to_string(result.discardedChannels) + " BASAL channels." +
                      "\r\n" + "Channels were discarded and transferred to Free Group");
    return result;
}

} // namespace trv
