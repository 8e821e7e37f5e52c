// SharedState: the one program-wide state record, held by Module1. Windows
// and core procedures read and write it directly; nobody keeps a private copy
// of the current project. Core procedures take it as an argument so tests can
// use their own instance; the program uses Module1::state().
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace trv {

constexpr int kChannels = 384;   // beams of the instrument, 0..383
constexpr int kSlots = 385;      // every per-channel array has slots 0..384
constexpr int kMaxProject = 32000;

template <typename T> using ChannelArray = std::array<T, kSlots>;

// config.dat
struct AppConfig {
    int16_t Actual_Project_Number = 0;
    int16_t Last_Project = 0;
    int16_t Serial_COM = 1;
    int16_t Restart_Time = 0;
};

// setup.dat
struct ProjectSetup {
    int16_t Num_proj = 0;
    std::string Name = "Default";
    std::string Working_folder;
    std::string Plate_format = "w96f";
    int16_t Aq_mode = 1;
    int16_t Aq_lapse = 30;
    int16_t Sample_Rate = 99;
    int16_t RT_Buffer = 500;
    int16_t DSP_Method = 1;
    int16_t DSP_Interval = 30;
    int16_t Binary_Acq = 1;
    int16_t Threshold_Counter = 300;
    int16_t Cal_value = 80;
    int16_t Cal_mode = 1;
    int16_t Save_counts = 1;
    int16_t Save_real = 1;
    int16_t Menu1 = 1; // calibration tools shown
    int16_t Menu2 = 0; // light control
    int16_t Menu3 = 0; // temperature control
    int16_t Menu4 = 0, Menu5 = 0, Menu6 = 0;
    // Rows Mn1..Mn6 as Mn[0]..Mn[5], items 0..5.
    std::array<std::array<int16_t, 6>, 6> Mn = defaultMn();

    static std::array<std::array<int16_t, 6>, 6> defaultMn() {
        return {{{0, 1, 1, 0, 0, 0},
                 {0, 9, 21, 0, 0, 0},
                 {0, 200, 0, 0, 0, 0},
                 {0, 0, 0, 0, 0, 0},
                 {0, 0, 0, 0, 0, 0},
                 {0, 0, 0, 0, 0, 0}}};
    }

    // Named items of the Mn rows.
    int16_t& Organism() { return Mn[0][0]; }
    int16_t& Enab_Cal() { return Mn[0][1]; }
    int16_t& Enab_Zero() { return Mn[0][2]; }
    int16_t& SNRx10() { return Mn[0][3]; }
    int16_t Organism() const { return Mn[0][0]; }
    int16_t SNRx10() const { return Mn[0][3]; }
    int16_t& Light_Enable() { return Mn[1][0]; }
    int16_t& Time_ON() { return Mn[1][1]; }
    int16_t& Time_OFF() { return Mn[1][2]; }
    int16_t& Pulse_Times() { return Mn[1][3]; }
    int16_t& Pulse_ONx10() { return Mn[1][4]; }
    int16_t& Pulse_OFFx10() { return Mn[1][5]; }
    int16_t& Temp_Enable() { return Mn[2][0]; }
    int16_t& Tempx10() { return Mn[2][1]; }
};

// status.dat, threshld.dat, groups.dat, chgroup.dat
struct ChannelTables {
    ChannelArray<int16_t> Channel_Enabled;   // -1 enabled, 0 disabled
    ChannelArray<double> Channel_Threshold;
    ChannelArray<std::string> Group_Name;
    ChannelArray<int16_t> Channel_Group;     // -1 free

    ChannelTables();
    static int16_t defaultGroupOf(int channel) { return static_cast<int16_t>((channel / 16 + 1) / 2); }
    static std::string defaultGroupName(int group) {
        return group <= 11 ? "Group" + std::to_string(group) : "Free";
    }
    void setDefaultEnabled();
    void setDefaultThresholds();
    void setDefaultGroupNames();
    void setDefaultChannelGroups();
};

// w*.dat plate formats
struct PlateLayout {
    int16_t Plate_Rows = 8;
    double Row_Pitch = 2.0;
    double Row_Offset = -0.5;
    int16_t Plate_Columns = 12;
    double Column_Pitch = 2.0;
    double Column_Offset = 0.0;
    ChannelArray<int16_t> Channel_Well;  // -1: in no well
    ChannelArray<int16_t> Channel_Beam;
    int16_t Max_Well = 0;
    int16_t Max_Beam = 0;
    // Well_Channel[w][b]: channel serving (well w, beam b), -1 where none.
    std::vector<std::vector<int16_t>> Well_Channel;

    PlateLayout();
    int16_t wellChannel(int well, int beam) const {
        if (well < 0 || beam < 0 || well >= static_cast<int>(Well_Channel.size())) return -1;
        const auto& row = Well_Channel[static_cast<size_t>(well)];
        return beam < static_cast<int>(row.size()) ? row[static_cast<size_t>(beam)] : -1;
    }
    // Well label: row letter and column number from 1 ("B3").
    std::string wellLabel(int well) const;
    // Channel label: well label, a point and the beam index ("B3.1"); empty
    // when the channel lies in no well.
    std::string channelLabel(int channel) const;
};

// calvalue.dat
struct CalibrationTable {
    ChannelArray<int16_t> Channel_PinHole;
    ChannelArray<int16_t> Channel_Gain;
    CalibrationTable() {
        Channel_PinHole.fill(2);
        Channel_Gain.fill(3);
    }
};

// repoconf.dat
struct ReportConfig {
    int16_t User_defined = 0;
    int16_t Bin = 30;
    int16_t filetype = 0;
    std::string spacer = ",";
    int16_t stdError = 1;
    int16_t stdDev = 0;
    int16_t n = 1;
    int16_t out_format = 0;
    int16_t organism = 0;
    int16_t method = 1;
    int16_t threshold = 18;
    int16_t rawexport = 0;
};

struct SharedState {
    // Where the program's files live ($TRELVANE_HOME or the executable's folder).
    std::string Program_Folder;

    // configuration (config.dat)
    AppConfig config;

    // current project: its folder (full path, no trailing slash) and setup.dat
    std::string Project_Folder;
    ProjectSetup setup;

    ChannelTables channels;
    PlateLayout plate;
    CalibrationTable calibration;

    // report settings
    ReportConfig report;
    std::string List_Separator = ",";

    // start-up progress of the main window, 0..9
    int16_t Startup_Stage = 0;

    // device status
    bool Offline_Mode = false;
    bool Device_Connected = false;
    int16_t Device_Id = 0;
    bool Factory_Cal_Valid = false;
    int16_t Factory_Cal_Month = 0;
    int16_t Factory_Cal_Year = 0;
    double Temp_Offset = 0.0;
    double Temp_Slope = 0.219;

    // acquisition status
    int16_t Acq_State = 0; // 0 idle, 1 acquiring, 2 paused
    bool recording = false;
    bool Blank_Mode = false;
    bool BodyBends_Mode = false;
    bool Manual_Calibration = false;
    double Temp_SetPoint = 20.0;
    double Temp_Current = 0.0;

    // Detection traces of the last beam analysed for display (threshold per
    // sample and -1 where an event was counted).
    std::array<int16_t, 501> Detect_Threshold{};
    std::array<int16_t, 501> Detect_Events{};
};

namespace Module1 {
// The program's one SharedState.
SharedState& state();
} // namespace Module1

} // namespace trv
