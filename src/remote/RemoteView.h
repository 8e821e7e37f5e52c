// The remote view as the program runs it: reads remote.conf, keeps the
// token, starts the server when enabled, and publishes the run's snapshots
// (judging the alerts on each) when the run reports progress. The window
// program and unattended runs hold one each.
#pragma once

#include "remote/Alerts.h"
#include "remote/RemoteConfig.h"
#include "remote/RemoteServer.h"
#include "remote/RunSnapshot.h"
#include "remote/SnapshotMaker.h"

#include <functional>
#include <memory>
#include <string>

namespace trv {
class AcquisitionRun;
class Clock;
} // namespace trv

namespace trv::remote {

class RemoteView {
  public:
    explicit RemoteView(std::string programFolder);
    ~RemoteView();

    // Reads remote.conf and, when enabled, starts the server. Returns the
    // message to show when it is enabled but could not start (empty
    // otherwise); every outcome is written to the run log.
    std::string start();
    void stop();
    // Saves new settings to remote.conf and starts again with them: the
    // message of start(), or why the file could not be written.
    std::string apply(const RemoteConfig& c);
    // Replaces the token (the old one stops working at once) and starts
    // again: the message of start(), or why no token could be written.
    std::string renewToken();
    bool serving() const { return server_ && server_->running(); }
    const RemoteConfig& config() const { return config_; }
    const std::string& token() const { return token_; }
    // "http://127.0.0.1:8384/login?token=..." while serving, else empty.
    std::string loginAddress() const;

    // The run reports progress here (AcquisitionRun::setOnProgress); does
    // nothing while the view is off.
    void watch(AcquisitionRun& run, Clock& clock);
    void publish(const AcquisitionRun& run, double nowDays);

    Alerts& alerts() { return alerts_; }
    SnapshotMaker& maker() { return maker_; }
    const SnapshotBoard& board() const { return board_; }
    RemoteServer* server() { return server_.get(); }

  private:
    std::string folder_;
    RemoteConfig config_;
    std::string token_;
    SnapshotBoard board_;
    SnapshotMaker maker_;
    Alerts alerts_;
    std::unique_ptr<RemoteServer> server_;
    bool on_ = false;
};

} // namespace trv::remote
