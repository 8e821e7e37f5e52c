// The acquisitions of a project carrying one tag, as one kinetic series:
// the members in start-time order with each member's group activity (the
// counts of all its records summed per group, averaged per channel).
#pragma once

#include "common/Clock.h"
#include "store/Module1.h"

#include <string>
#include <vector>

namespace trv {

class Prompter;

inline constexpr int kMaxTagMembers = 99;

struct TaggedSeries {
    // Members in start-time order; their start (from the folder name).
    std::vector<std::string> members;
    std::vector<LocalDateTime> starts;
    // " name1 name2 ...": the members in that order, each after a blank.
    std::string orderedList;
    // activity[group * (count() + 1) + j] for groups 0..385 and member j
    // 1..count(): per group 0..383 the sum over the member's records divided
    // by the group's channel count, rounded (0 for a group without channels);
    // group 384 holds the plain sum of the free channels.
    std::vector<double> activity;

    int count() const { return static_cast<int>(members.size()); }
    double at(int group, int member) const {
        return activity[static_cast<size_t>(group) * static_cast<size_t>(count() + 1) +
                        static_cast<size_t>(member)];
    }
};

// The start of an acquisition named yyyymmdd_hhmm; a name shorter than
// eight characters counts as now.
LocalDateTime memberStart(const std::string& name, const LocalDateTime& now);

// Loads the members (names separated by blanks, as the tag reader gives
// them) from the project folder with the chosen acquisition's channel
// groups (every member is grouped as that acquisition is). More than 99 members: "To many Tagged
// Sub_Projects! (max=99)" and nothing is loaded (result 0). A member without counts.bin shows
// "Activity file not Found into " + its folder and keeps zeros. Returns the largest unrounded group
// mean, rounded.
int loadTagMembers(const std::string& memberList, const std::string& projectFolder,
                   const ChannelTables& channels, Clock& clock, Prompter& prompter,
                   TaggedSeries& series);

} // namespace trv
