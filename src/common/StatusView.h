// How the core shows status and progress texts: named lines and frames of the
// windows (the launcher's news line, the main window's connection status
// line, the status frame, progress strips). The core names the target; the
// window that owns it shows it. One way for every status text in the system.
#pragma once

#include <string>

namespace trv {

// Targets named by the core. Windows map them to their controls.
namespace status {
inline constexpr const char* NewsLine = "news";         // launcher news line
inline constexpr const char* StatusLine = "statusLine"; // connection status line
inline constexpr const char* StatusCaption = "statusCaption";
inline constexpr const char* StatusFrame = "statusFrame"; // frame with caption and line
inline constexpr const char* Progress = "progress";       // progress strip of the status frame
// Main window acquisition displays.
inline constexpr const char* ElapsedTime = "Txt_time";           // "hh:mm:ss [Nd]"
inline constexpr const char* Temperature = "lbl_temperature";    // "T=" + text + "*C"
inline constexpr const char* TimeBar = "timeBar";                // progress: elapsed % of the lapse
inline constexpr const char* AcquisitionName = "txt_subproject"; // name of the current acquisition
inline constexpr const char* BlankLabel = "lblcalibrando";       // blank reading label
inline constexpr const char* NoteLabel = "lbl_autostart";        // main window's note line
inline constexpr const char* SetupWell = "setupWell";            // setup window: well under the pointer
inline constexpr const char* ReportRawStatus = "reportRawStatus"; // report window: raw-data frame progress
inline constexpr const char* OfflineProgress = "Pic_status";       // offline browser: progress bar
inline constexpr const char* OfflinePageBox = "txt_page";          // offline browser: page box
} // namespace status

class StatusView {
  public:
    virtual ~StatusView() = default;
    virtual void setText(const std::string& target, const std::string& text) = 0;
    virtual void setVisible(const std::string& target, bool visible) = 0;
    // A progress strip: value of maximum (0..maximum).
    virtual void setProgress(const std::string& target, double value, double maximum) = 0;
    // Let the window repaint what changed (used before long blocking work).
    virtual void repaint() = 0;
};

// Shows nothing; for programs without windows.
class NullStatusView : public StatusView {
  public:
    void setText(const std::string&, const std::string&) override {}
    void setVisible(const std::string&, bool) override {}
    void setProgress(const std::string&, double, double) override {}
    void repaint() override {}
};

} // namespace trv
