#include "common/RunLog.h"

#include "common/Files.h"

#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include <memory>
#include <mutex>

namespace trv::runlog {

namespace {

std::mutex mutex;
std::shared_ptr<spdlog::logger> logger;
std::string openPath;

std::shared_ptr<spdlog::logger> current() {
    std::lock_guard<std::mutex> lock(mutex);
    return logger;
}

} // namespace

bool open(const std::string& folder, const std::string& program, size_t maxBytes,
          size_t keptFiles) {
    const std::string file = joinPath(folder, kFileName);
    std::shared_ptr<spdlog::logger> next;
    try {
        auto sink =
            std::make_shared<spdlog::sinks::rotating_file_sink_mt>(file, maxBytes, keptFiles);
        // Not registered: the log is ours alone, whatever else uses spdlog.
        next = std::make_shared<spdlog::logger>(program, std::move(sink));
        next->set_pattern("%Y-%m-%d %H:%M:%S.%e %n[%P] %l: %v");
        next->set_level(spdlog::level::info);
        next->flush_on(spdlog::level::info);
    } catch (const std::exception&) {
        next.reset();
    }
    std::lock_guard<std::mutex> lock(mutex);
    logger = next;
    openPath = next ? file : std::string();
    return next != nullptr;
}

void close() {
    std::lock_guard<std::mutex> lock(mutex);
    logger.reset();
    openPath.clear();
}

std::string path() {
    std::lock_guard<std::mutex> lock(mutex);
    return openPath;
}

namespace {
void write(spdlog::level::level_enum level, const std::string& text) {
    auto l = current();
    if (!l) return;
    try {
        l->log(level, "{}", text);
    } catch (const std::exception&) {
        // A log that cannot be written must never stop what it describes.
    }
}
} // namespace

void info(const std::string& text) {
    write(spdlog::level::info, text);
}
void warn(const std::string& text) {
    write(spdlog::level::warn, text);
}
void error(const std::string& text) {
    write(spdlog::level::err, text);
}

} // namespace trv::runlog
