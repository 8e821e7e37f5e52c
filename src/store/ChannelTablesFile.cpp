#include "store/ChannelTablesFile.h"

#include "common/Files.h"
#include "common/Numeric.h"
#include "common/Prompter.h"
#include "common/TextRecord.h"
#include "store/ConfigFile.h"
#include "store/StoreText.h"

namespace trv {

namespace {

struct TableInfo {
    const char* name;
    const char* header;
    const char* fallback; // end of the error message
};

TableInfo info(ChannelTableFile f) {
    switch (f) {
    case ChannelTableFile::Status:
        return {"status.dat", "<Channel>, <Enabled>", "Loading default values..."};
    case ChannelTableFile::Threshold:
        return {"threshld.dat", "<Channel>, <Threshold>", "Loading default values..."};
    case ChannelTableFile::Groups:
        return {"groups.dat", "<Group_Number>, <Group_Name>", "Loading default groups..."};
    case ChannelTableFile::ChannelGroups:
        break;
    }
    return {"chgroup.dat", "<Channel>, <Group: -1=Free>", "Loading default groups..."};
}

void setDefaults(ChannelTables& t, ChannelTableFile f) {
    switch (f) {
    case ChannelTableFile::Status:
        t.setDefaultEnabled();
        break;
    case ChannelTableFile::Threshold:
        t.setDefaultThresholds();
        break;
    case ChannelTableFile::Groups:
        t.setDefaultGroupNames();
        break;
    case ChannelTableFile::ChannelGroups:
        t.setDefaultChannelGroups();
        break;
    }
}

void readRecords(ChannelTables& t, RecordReader& r, ChannelTableFile f) {
    r.item(); // header
    for (size_t i = 0; r.hasData() && i < kSlots; ++i) {
        r.item(); // channel or group number: the position counts
        switch (f) {
        case ChannelTableFile::Status:
            t.Channel_Enabled[i] = r.int16();
            break;
        case ChannelTableFile::Threshold: {
            // A threshold is a share of the beam's level in percent: the
            // zeroing gives 1 to 501, the blank reading 1 to 116. A value far
            // outside that (negative, or past ten times the level)
            // is a damaged file, not a setting.
            const double v = r.real();
            if (!(v >= kThresholdMin && v <= kThresholdMax))
                throw RecordError("threshold outside " + std::to_string(kThresholdMin) + ".." +
                                  std::to_string(kThresholdMax));
            t.Channel_Threshold[i] = v;
            break;
        }
        case ChannelTableFile::Groups:
            t.Group_Name[i] = r.item();
            break;
        case ChannelTableFile::ChannelGroups:
            t.Channel_Group[i] = r.int16();
            break;
        }
    }
    if (f == ChannelTableFile::Status) {
        // Any value but 0 means enabled; in memory enabled is -1.
        for (size_t c = 0; c < kChannels; ++c)
            t.Channel_Enabled[c] = t.Channel_Enabled[c] != 0 ? -1 : 0;
    }
}

} // namespace

const char* channelTableFileName(ChannelTableFile file) {
    return info(file).name;
}

std::string channelTableErrorMessage(ChannelTableFile file, int projectNumber) {
    TableInfo ti = info(file);
    return "Error [\\" + projectFolderName(projectNumber) + "\\" + ti.name + "] => " + ti.fallback;
}

bool readChannelTable(ChannelTables& tables, const std::string& folder, ChannelTableFile file) {
    try {
        auto content = readStoreFile(joinPath(folder, info(file).name));
        if (!content) throw RecordError("unreadable");
        RecordReader r(std::move(*content));
        readRecords(tables, r, file);
        return true;
    } catch (const RecordError&) {
        setDefaults(tables, file);
        return false;
    }
}

void loadChannelTables(ChannelTables& tables, const std::string& folder, int projectNumber,
                       Prompter& prompter) {
    for (ChannelTableFile f : {ChannelTableFile::Status, ChannelTableFile::Threshold,
                               ChannelTableFile::Groups, ChannelTableFile::ChannelGroups}) {
        if (!readChannelTable(tables, folder, f))
            prompter.show(channelTableErrorMessage(f, projectNumber));
    }
}

void loadChannelTables(SharedState& s, Prompter& prompter) {
    loadChannelTables(s.channels, s.Project_Folder, s.config.Actual_Project_Number, prompter);
}

std::string channelTableText(const ChannelTables& t, ChannelTableFile f) {
    RecordWriter w;
    w.header(info(f).header);
    for (size_t k = 0; k < kChannels; ++k) {
        w.integer(static_cast<long long>(k));
        switch (f) {
        case ChannelTableFile::Status:
            w.integer(t.Channel_Enabled[k] != 0 ? 1 : 0);
            break;
        case ChannelTableFile::Threshold:
            // At most three decimals in the file: 2.34567 -> 2.346, 4.0004 -> 4.
            w.real(leadingNumber(fixedDecimals(t.Channel_Threshold[k], 3)));
            break;
        case ChannelTableFile::Groups:
            w.text(singleLineName(t.Group_Name[k]));
            break;
        case ChannelTableFile::ChannelGroups:
            w.integer(t.Channel_Group[k]);
            break;
        }
        w.end();
    }
    return w.str();
}

bool saveChannelTables(const ChannelTables& tables, const std::string& folder) {
    bool ok = true;
    for (ChannelTableFile f : {ChannelTableFile::Status, ChannelTableFile::Threshold,
                               ChannelTableFile::Groups, ChannelTableFile::ChannelGroups}) {
        ok = writeChannelTable(tables, folder, f) && ok;
    }
    return ok;
}

bool channelTableReadable(const ChannelTables& tables, ChannelTableFile file) {
    const std::string text = channelTableText(tables, file);
    return text.size() <= kStoreFileMaxBytes && isStoreText(text);
}

bool writeChannelTable(const ChannelTables& tables, const std::string& folder,
                       ChannelTableFile file) {
    return writeFileAtomic(joinPath(folder, info(file).name), channelTableText(tables, file));
}

} // namespace trv
