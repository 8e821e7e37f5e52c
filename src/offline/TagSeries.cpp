#include "offline/TagSeries.h"

#include "acquisition/DataFiles.h"
#include "common/Files.h"
#include "common/Numeric.h"
#include "common/Prompter.h"
#include "offline/OfflinePlots.h"
#include "store/AcquisitionRecord.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <sstream>
#include <tuple>

namespace trv {

namespace {

int number(const std::string& name, size_t from, size_t length) {
    return static_cast<int>(leadingNumber(name.substr(std::min(from, name.size()), length)));
}

bool earlier(const LocalDateTime& a, const LocalDateTime& b) {
    return std::tie(a.year, a.month, a.day, a.hour, a.minute) <
           std::tie(b.year, b.month, b.day, b.hour, b.minute);
}

} // namespace

LocalDateTime memberStart(const std::string& name, const LocalDateTime& now) {
    if (name.size() < 8) return now;
    LocalDateTime t;
    t.year = number(name, 0, 4);
    t.month = number(name, 4, 2);
    t.day = number(name, 6, 2);
    t.hour = number(name, 9, 2);
    t.minute = number(name, 11, 2);
    return t;
}

int loadTagMembers(const std::string& memberList, const std::string& projectFolder,
                   const ChannelTables& channels, Clock& clock, Prompter& prompter,
                   TaggedSeries& series) {
    std::vector<std::string> names;
    std::istringstream in(memberList);
    for (std::string name; in >> name;) {
        if (names.size() == static_cast<size_t>(kMaxTagMembers)) {
            prompter.show("To many Tagged Sub_Projects! (max=99)");
            return 0;
        }
        names.push_back(name);
    }

    // Start-time order; members starting in the same minute keep their order.
    const LocalDateTime now = clock.now();
    std::vector<size_t> order(names.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::vector<LocalDateTime> starts;
    for (const std::string& n : names) {
        // The exact start the acquisition kept, else its folder's name.
        const auto exact = isSafeName(n) ? readAcquisitionStart(joinPath(projectFolder, n))
                                         : std::nullopt;
        starts.push_back(exact ? *exact : memberStart(n, now));
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return earlier(starts[a], starts[b]); });

    series = TaggedSeries{};
    const int k = static_cast<int>(names.size());
    const size_t columns = static_cast<size_t>(k + 1);
    series.activity.assign(static_cast<size_t>(kSlots + 1) * columns, 0.0);
    long long largest = 0;
    GroupActivity one;
    for (int j = 1; j <= k; ++j) {
        const size_t m = order[static_cast<size_t>(j - 1)];
        series.members.push_back(names[m]);
        series.starts.push_back(starts[m]);
        series.orderedList += " " + names[m];
        // A key of tags_id.dat is text: only a plain name is a folder here.
        const std::string folder = joinPath(projectFolder, names[m]);
        const std::string counts = countsFilePath(folder);
        if (!isSafeName(names[m]) || !fileExists(counts)) {
            prompter.show("Activity file not Found into " + folder);
            continue;
        }
        // A file whose record times are damaged is left out, as the command
        // line's joint report leaves it out.
        const std::vector<CountsRecord> records = readCounts(counts);
        if (auto problem = countsTimesProblem(counts, records)) {
            prompter.show(*problem);
            continue;
        }
        // All of a member's records make its one point. Rounding keeps the
        // order, so the largest rounded mean is the rounded largest mean.
        largest = std::max(largest, groupActivity(records, channels, false, 1, one));
        for (int g = 0; g <= kFreeGroup; ++g)
            series.activity[static_cast<size_t>(g) * columns + static_cast<size_t>(j)] =
                one.at(g, 1);
    }
    return static_cast<int>(largest);
}

} // namespace trv
