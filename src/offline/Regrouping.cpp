#include "offline/Regrouping.h"

#include "common/Files.h"
#include "common/Numeric.h"
#include "store/ChannelTablesFile.h"

namespace trv {

namespace {

// Handled events and 10 ms pauses between the backups and the writes.
constexpr int kSettleSteps = 21;

// The group files, names first.
constexpr ChannelTableFile kGroupFiles[] = {ChannelTableFile::Groups,
                                            ChannelTableFile::ChannelGroups};

} // namespace

std::string groupBackupStamp(const LocalDateTime& t) {
    return zeroPadded(t.year, 4) + zeroPadded(t.month, 2) + zeroPadded(t.day, 2) +
           zeroPadded(t.hour, 2) + zeroPadded(t.minute, 2);
}

bool saveGroupFiles(const std::string& folder, const ChannelTables& tables, Ports& ports) {
    const std::string stamp = groupBackupStamp(ports.clock.now());
    for (ChannelTableFile f : kGroupFiles) {
        const std::string name = channelTableFileName(f);
        const std::string file = joinPath(folder, name);
        if (!fileExists(file)) continue;
        const std::string base = joinPath(folder, name.substr(0, name.size() - 4));
        copyFile(file, base + ".bak");
        copyFile(file, base + stamp + ".bak");
    }
    for (int i = 0; i < kSettleSteps; ++i) {
        ports.pump.processEvents();
        ports.clock.sleepMs(10);
    }
    for (ChannelTableFile f : kGroupFiles) {
        if (!channelTableReadable(tables, f)) return false;
    }
    for (ChannelTableFile f : kGroupFiles) {
        if (!writeChannelTable(tables, folder, f)) return false;
    }
    return true;
}

RegroupSession::RegroupSession(const OfflineConfiguration& config, Ports& ports, Surface& surface)
    : folder_(config.folder), ports_(ports) {
    state_.plate = config.plate();
    state_.channels = config.channels();
    state_.setup = config.setup;
    editor_ = std::make_unique<GroupEditor>(state_, ports, surface);
    editor_->load();
}

std::vector<std::string> RegroupSession::assignedWells() const {
    const int g = editor_->selectedGroup();
    std::vector<std::string> out;
    for (int w = 0; w <= state_.plate.Max_Well; ++w) {
        const int ch = state_.plate.wellChannel(w, 0);
        if (ch >= 0 && ch < kChannels &&
            state_.channels.Channel_Group[static_cast<size_t>(ch)] == g)
            out.push_back(state_.plate.wellLabel(w));
    }
    return out;
}

std::vector<std::string> RegroupSession::freeChannels() const {
    return editor_->labels(editor_->freeChannels());
}

bool RegroupSession::save() {
    return saveGroupFiles(folder_, state_.channels, ports_);
}

} // namespace trv
