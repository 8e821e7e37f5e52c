#include "setup/GroupEditor.h"

#include "common/Files.h"
#include "common/Numeric.h"
#include "common/Ports.h"
#include "display/Surface.h"
#include "store/PlateFormat.h"
#include "store/StoreText.h"

#include <algorithm>
#include <cctype>

namespace trv {

namespace {

constexpr int kGroups = kChannels; // group numbers 0..383

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool enabled(const SharedState& s, int ch) {
    return s.channels.Channel_Enabled[static_cast<size_t>(ch)] != 0;
}

int16_t& groupOf(SharedState& s, int ch) { return s.channels.Channel_Group[static_cast<size_t>(ch)]; }

int wellOf(const SharedState& s, int ch) { return s.plate.Channel_Well[static_cast<size_t>(ch)]; }

int clampPosition(int pos, size_t size) {
    if (size == 0) return -1;
    return std::clamp(pos, 0, static_cast<int>(size) - 1);
}

} // namespace

std::string plateDescription(const std::string& format) {
    struct Known {
        const char* name;
        const char* description;
        const char* adapter;
    };
    static const Known known[] = {
        {"w384", "384 Well microplate [1microbeams/well]",
         "Adapter: none, place the plate directly in the slot"},
        {"w96f", "96 Wells flat bottom [2microbeams/well]",
         "Adapter: fit the 96 wells flat bottom adapter"},
        {"w96u", "96 Wells U shape bottom [1microbeam/well]",
         "Adapter: fit the 96 wells U bottom adapter"},
        {"w96flat", "96 Wells flat bottom [4microbeams/well]",
         "Adapter: fit the 96 wells 4 beams adapter"},
        {"w48", "48 Wells flat bottom [1-3microbeams/well]", "Adapter: fit the 48 wells adapter"},
        {"w24", "24 Wells flat bottom [4microbeams/well]", "Adapter: fit the 24 wells adapter"},
        {"w6", "6 Wells flat bottom [30-32microbeams/well]", "Adapter: fit the 6 wells adapter"},
    };
    for (const Known& k : known) {
        if (format != k.name) continue;
        std::string text = std::string(k.description) + "\r\n" + k.adapter;
        if (format == "w96flat") text += "\r\nNOTE: DISCONTINUED. Contact provider";
        return text;
    }
    return "";
}

std::vector<std::string> blockSizes(const PlateLayout& p) {
    std::vector<std::string> out;
    for (int cc = 1; cc <= 16; ++cc) {
        if (p.Plate_Columns <= 0 || p.Plate_Columns % cc != 0) continue;
        for (int rr = 1; rr <= 16; ++rr) {
            if (p.Plate_Rows <= 0 || p.Plate_Rows % rr != 0) continue;
            out.push_back(zeroPadded(rr, 2) + "x" + zeroPadded(cc, 2) + " [RowsxColumn]");
        }
    }
    return out;
}

std::vector<std::string> plateFormatNames(const std::string& programFolder) {
    std::vector<std::string> out;
    for (const std::string& file : listFiles(programFolder, "w*.dat")) {
        std::string name = lower(file.substr(0, file.size() - 4));
        if (std::find(out.begin(), out.end(), name) == out.end()) out.push_back(name);
    }
    return out;
}

GroupEditor::GroupEditor(SharedState& state, Ports& ports, Surface& picwell)
    : s_(state), ports_(ports), surface_(picwell) {}

void GroupEditor::load() {
    blockSizes_ = blockSizes(s_.plate);
    checkedMenu_ = -1;
    dragging_ = false;
    outside_ = false;
    highlight_ = {};
    plateNames_ = plateFormatNames(s_.Program_Folder);
    plateShown_ = s_.setup.Plate_format;
    pending_ = false;
    refreshGroups(0);
    assignedPos_ = freePos_ = -1;
    refreshChannelLists();
    redraw();
    loaded_ = true;
}

int GroupEditor::selectedGroup() const {
    if (selected_ < 0 || selected_ >= static_cast<int>(groups_.size())) return 0;
    return groups_[static_cast<size_t>(selected_)].number;
}

void GroupEditor::selectIndex(int index) {
    if (index < 0 || index >= static_cast<int>(groups_.size())) return;
    selected_ = index;
    refreshChannelLists();
}

void GroupEditor::refreshGroups(int g) {
    std::vector<bool> inUse(kGroups, false);
    int highest = -1;
    for (int ch = 0; ch < kChannels; ++ch) {
        int grp = groupOf(s_, ch);
        // Only numbers that can name a group; anything else in a damaged
        // chgroup.dat is left alone.
        if (grp < 0 || grp >= kGroups) continue;
        inUse[static_cast<size_t>(grp)] = true;
        highest = std::max(highest, grp);
    }
    groups_.clear();
    for (int b = 0; b < kGroups; ++b) {
        std::string& name = s_.channels.Group_Name[static_cast<size_t>(b)];
        bool used = inUse[static_cast<size_t>(b)];
        if (used || b <= highest + 1) {
            if (used && name == "Free") name = "Group" + std::to_string(b);
            groups_.push_back({b, zeroPadded(b, 3) + "_" + name});
        }
    }
    selected_ = 0;
    for (size_t i = 0; i < groups_.size(); ++i)
        if (groups_[i].number == g) selected_ = static_cast<int>(i);
}

void GroupEditor::renameGroup() {
    if (selected_ < 0 || selected_ >= static_cast<int>(groups_.size())) return;
    GroupEntry& e = groups_[static_cast<size_t>(selected_)];
    std::string& name = s_.channels.Group_Name[static_cast<size_t>(e.number)];
    InputResult r = ports_.prompter.input("Enter New Group (" + zeroPadded(e.number, 3) + ") Name",
                                          "", name);
    if (r.cancelled || r.text.empty()) return;
    name = singleLineName(r.text);
    e.text = zeroPadded(e.number, 3) + "_" + name;
}

std::vector<std::string> GroupEditor::labels(const std::vector<int>& channels) const {
    std::vector<std::string> out;
    out.reserve(channels.size());
    for (int ch : channels) out.push_back(s_.plate.channelLabel(ch));
    return out;
}

void GroupEditor::refreshChannelLists() {
    const int g = selectedGroup();
    assigned_.clear();
    free_.clear();
    for (int ch = 0; ch < kChannels; ++ch) {
        if (!enabled(s_, ch) || wellOf(s_, ch) < 0) continue;
        int grp = groupOf(s_, ch);
        if (grp == g) assigned_.push_back(ch);
        if (grp == -1) free_.push_back(ch);
    }
    assignedPos_ = assignedPos_ < 0 ? -1 : clampPosition(assignedPos_, assigned_.size());
    freePos_ = freePos_ < 0 ? -1 : clampPosition(freePos_, free_.size());
}

void GroupEditor::assignWell(int well, int group, bool freeOnly) {
    for (int ch = 0; ch < kChannels; ++ch) {
        if (wellOf(s_, ch) != well || !enabled(s_, ch)) continue;
        if (freeOnly && groupOf(s_, ch) != -1) continue;
        groupOf(s_, ch) = static_cast<int16_t>(group);
    }
}

void GroupEditor::freeWell(int well) { assignWell(well, -1, false); }

void GroupEditor::afterGroupChange() {
    refreshGroups(selectedGroup());
    refreshChannelLists();
    redraw();
}

void GroupEditor::freeListDoubleClick(int index) {
    if (free_.empty()) return;
    int pos = index < 0 ? 0 : std::min(index, static_cast<int>(free_.size()) - 1);
    int well = wellOf(s_, free_[static_cast<size_t>(pos)]);
    const int g = selectedGroup();
    // Disabled beams of the well stay out of the group.
    for (int b = 0; b <= s_.plate.Max_Beam; ++b) {
        int ch = s_.plate.wellChannel(well, b);
        if (ch >= 0 && ch < kChannels && enabled(s_, ch)) groupOf(s_, ch) = static_cast<int16_t>(g);
    }
    freePos_ = pos;
    afterGroupChange();
}

void GroupEditor::assignedListDoubleClick(int index) {
    if (assigned_.empty()) return;
    int pos = index < 0 ? 0 : std::min(index, static_cast<int>(assigned_.size()) - 1);
    int well = wellOf(s_, assigned_[static_cast<size_t>(pos)]);
    for (int b = 0; b <= s_.plate.Max_Beam; ++b) {
        int ch = s_.plate.wellChannel(well, b);
        if (ch >= 0 && ch < kChannels) groupOf(s_, ch) = -1;
    }
    assignedPos_ = pos;
    afterGroupChange();
}

void GroupEditor::clearGroups() {
    for (int ch = 0; ch < kChannels; ++ch) groupOf(s_, ch) = -1;
    for (int g = 0; g < kGroups; ++g) s_.channels.Group_Name[static_cast<size_t>(g)] = "Free";
}

void GroupEditor::clearClick() {
    if (!ports_.prompter.askYesNo(kAskClearGroups)) return;
    clearGroups();
    refreshGroups(0);
    refreshChannelLists();
    redraw();
}

std::vector<std::string> GroupEditor::menuCaptions() const {
    size_t n = std::min<size_t>(blockSizes_.size(), kBlockMenuEntries);
    return {blockSizes_.begin(), blockSizes_.begin() + static_cast<long>(n)};
}

void GroupEditor::autoArrangeEntry(int menuIndex) {
    auto captions = menuCaptions();
    if (menuIndex < 0 || menuIndex >= static_cast<int>(captions.size())) return;
    autoArrange(captions[static_cast<size_t>(menuIndex)]);
    checkedMenu_ = menuIndex;
}

void GroupEditor::autoArrange(const std::string& caption) {
    const int rowsPerBlock = static_cast<int>(roundHalfEven(leadingNumber(caption.substr(0, 2))));
    const int colsPerBlock =
        caption.size() > 3 ? static_cast<int>(roundHalfEven(leadingNumber(caption.substr(3, 2)))) : 0;
    if (rowsPerBlock <= 0 || colsPerBlock <= 0) return;

    clearGroups();
    const PlateLayout& p = s_.plate;
    const int maxWell = std::max<int>(p.Max_Well, 0);
    std::vector<std::vector<int>> channelsOf(static_cast<size_t>(maxWell) + 1);
    for (int ch = 0; ch < kChannels; ++ch) {
        int w = wellOf(s_, ch);
        if (w >= 0 && w <= maxWell) channelsOf[static_cast<size_t>(w)].push_back(ch);
    }
    // Wells already taken by a block. A well whose beam 0 is disabled stays
    // free, and would otherwise start every following block over again.
    std::vector<bool> covered(static_cast<size_t>(maxWell) + 1, false);
    const int lastGroup = std::min(maxWell / (rowsPerBlock * colsPerBlock), kGroups - 1);
    for (int k = 0; k <= lastGroup; ++k) {
        int start = 0;
        for (int w = 0; w <= maxWell; ++w) {
            int ch = p.wellChannel(w, 0);
            if (ch < 0 || ch >= kChannels || groupOf(s_, ch) != -1 || covered[static_cast<size_t>(w)])
                continue;
            start = w;
            break;
        }
        for (int j = 1; j <= rowsPerBlock; ++j) {
            for (int i = 1; i <= colsPerBlock; ++i) {
                int target = start + (j - 1) + (i - 1) * p.Plate_Rows;
                if (target < 0 || target > maxWell) continue;
                covered[static_cast<size_t>(target)] = true;
                for (int ch : channelsOf[static_cast<size_t>(target)]) {
                    if (groupOf(s_, ch) != -1 || !enabled(s_, ch)) continue;
                    groupOf(s_, ch) = static_cast<int16_t>(k);
                    s_.channels.Group_Name[static_cast<size_t>(k)] = "Group" + std::to_string(k);
                }
            }
        }
    }
    refreshGroups(0);
    refreshChannelLists();
    redraw();
}

void GroupEditor::showWell(const std::string& text) {
    ports_.status.setText(status::SetupWell, text);
}

void GroupEditor::mouseDown(MouseButton button, double x, double y) {
    if (!loaded_ || outside_) return;
    if (button != MouseButton::Left && button != MouseButton::Right) return;
    WellHit hit = hitWell(s_.plate, x, y);
    if (!hit.inside) return;
    int well = hit.well(s_.plate);
    showWell(std::to_string(well));
    if (button == MouseButton::Left)
        assignWell(well, selectedGroup(), true);
    else
        freeWell(well);
    press_ = hit;
    dragging_ = true;
    dragButton_ = button;
    highlight_ = {PlateHighlight::Kind::Drag, hit.row, hit.column, hit.row, hit.column,
                  button == MouseButton::Right};
    afterGroupChange();
}

void GroupEditor::mouseUp(MouseButton button, double x, double y) {
    if (!loaded_) return;
    if (button != MouseButton::Left && button != MouseButton::Right) return;
    WellHit hit = hitWell(s_.plate, x, y);
    if (outside_ || !hit.inside) {
        // A drag that ends off the plate is dropped; left set, it would turn
        // a later release into a rectangle from this old press.
        dragging_ = false;
        highlight_ = {};
        redraw();
        return;
    }
    int r0 = hit.row, r1 = hit.row, c0 = hit.column, c1 = hit.column;
    if (dragging_) {
        r0 = std::min(press_.row, hit.row);
        r1 = std::max(press_.row, hit.row);
        c0 = std::min(press_.column, hit.column);
        c1 = std::max(press_.column, hit.column);
    }
    const int g = selectedGroup();
    for (int c = c0; c <= c1; ++c) {
        for (int r = r0; r <= r1; ++r) {
            int well = c * s_.plate.Plate_Rows + r;
            showWell(std::to_string(well));
            if (button == MouseButton::Left)
                assignWell(well, g, false);
            else
                freeWell(well);
        }
    }
    dragging_ = false;
    highlight_ = {PlateHighlight::Kind::Hover, hit.row, hit.column, hit.row, hit.column, false};
    afterGroupChange();
}

void GroupEditor::mouseMove(double x, double y) {
    if (!loaded_) return;
    WellHit hit = hitWell(s_.plate, x, y);
    if (!hit.inside) {
        outside_ = true;
        if (highlight_.kind == PlateHighlight::Kind::Hover) {
            highlight_ = {};
            redraw();
        }
        return;
    }
    outside_ = false;
    PlateHighlight h;
    if (dragging_) {
        h = {PlateHighlight::Kind::Drag, press_.row, press_.column, hit.row, hit.column,
             dragButton_ == MouseButton::Right};
    } else {
        h = {PlateHighlight::Kind::Hover, hit.row, hit.column, hit.row, hit.column, false};
    }
    if (h == highlight_) return; // same well as last shown
    highlight_ = h;
    showWell(s_.plate.wellLabel(hit.well(s_.plate)));
    redraw();
}

void GroupEditor::mouseLeft() {
    if (highlight_.kind != PlateHighlight::Kind::Hover) return;
    highlight_ = {};
    redraw();
}

void GroupEditor::redraw() { Dibujar_placa(surface_, s_, highlight_); }

void GroupEditor::choosePlate(const std::string& name) {
    pendingPlate_ = name;
    pending_ = true;
}

void GroupEditor::Timer1_Timer() {
    if (!pending_) return;
    pending_ = false;
    changePlate(pendingPlate_);
}

void GroupEditor::changePlate(const std::string& name) {
    plateShown_ = s_.setup.Plate_format;
    const std::string path = plateFilePath(s_.Program_Folder, name);
    if (path.empty() || !fileExists(path)) {
        ports_.prompter.show(kSelectionError);
        return;
    }
    if (!ports_.prompter.askYesNo(kAskNewPlate)) return;
    clearGroups();
    std::string description = plateDescription(name);
    if (!description.empty()) ports_.prompter.show(description);
    changePlateFormat(s_, name, ports_.prompter);
    plateShown_ = s_.setup.Plate_format;
    // The block sizes of the old plate do not tile the new one.
    blockSizes_ = blockSizes(s_.plate);
    checkedMenu_ = -1;
    dragging_ = false;
    highlight_ = {};
    refreshGroups(0);
    refreshChannelLists();
    redraw();
}

} // namespace trv
