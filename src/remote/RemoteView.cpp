#include "remote/RemoteView.h"

#include "acquisition/AcquisitionRun.h"
#include "common/Clock.h"
#include "common/RunLog.h"

namespace trv::remote {

RemoteView::RemoteView(std::string programFolder) : folder_(std::move(programFolder)) {}

RemoteView::~RemoteView() { stop(); }

void RemoteView::stop() {
    if (server_) server_->stop();
    server_.reset();
    on_ = false;
}

std::string RemoteView::start() {
    stop();
    std::vector<std::string> problems;
    config_ = readConfig(folder_, &problems);
    for (const auto& p : problems)
        runlog::warn(std::string(kConfigFileName) + ": " + p);
    if (!config_.enabled) return {};
    alerts_.setCommand(commandWords(config_.alert_command));
    on_ = true; // snapshots and alerts go on even when the server cannot start
    token_ = loadOrCreateToken(folder_);
    server_ = std::make_unique<RemoteServer>(board_, config_, token_, runlog::path());
    const std::string refusal = server_->start();
    if (!refusal.empty()) {
        server_.reset();
        runlog::error(refusal);
        return refusal;
    }
    if (!config_.tls() && !isLoopback(config_.address))
        runlog::warn("remote view serves plain HTTP on " + config_.address +
                     " (allow_plain_http = yes): the token crosses the network unencrypted");
    runlog::info("remote view serving on " + server_->baseAddress());
    return {};
}

std::string RemoteView::apply(const RemoteConfig& c) {
    if (!writeConfig(folder_, c))
        return std::string(kConfigFileName) + " could not be written in " + folder_;
    runlog::info(std::string(kConfigFileName) + " changed");
    return start();
}

std::string RemoteView::renewToken() {
    if (replaceToken(folder_).empty())
        return std::string("A new token could not be written to ") + kTokenFileName + " in " +
               folder_;
    runlog::info("remote view: a new token was made; the old one no longer opens the view");
    return start();
}

std::string RemoteView::loginAddress() const {
    if (!server_ || !server_->running()) return {};
    return server_->baseAddress() + "/login?token=" + token_;
}

void RemoteView::watch(AcquisitionRun& run, Clock& clock) {
    run.setOnProgress([this, &run, &clock] { publish(run, clock.nowDays()); });
}

void RemoteView::publish(const AcquisitionRun& run, double nowDays) {
    if (!on_) return;
    std::shared_ptr<RunSnapshot> s = maker_.make(run, nowDays);
    alerts_.judge(*s);
    board_.publish(std::move(s));
}

} // namespace trv::remote
