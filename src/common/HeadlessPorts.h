// The ports of work without a window (the command line, tools, benchmarks):
// the system clock and locale, no event pump, and a desktop that opens
// documents in the user's applications or, for tools that must not, one that
// opens nothing. The caller gives the prompter (what a message does there)
// and, when progress goes somewhere, the status view.
#pragma once

#include "common/Ports.h"

namespace trv {

// Opens nothing and says so.
class NoDesktop : public Desktop {
  public:
    bool openDocument(const std::string&) override { return false; }
    bool openFolder(const std::string&) override { return false; }
    bool showInFolder(const std::string&) override { return false; }
    bool openUrl(const std::string&) override { return false; }
    bool startSelf(const std::vector<std::string>&) override { return false; }
};

enum class HeadlessDesktop { System, None };

struct HeadlessPorts {
    explicit HeadlessPorts(Prompter& prompter, StatusView* status = nullptr,
                           HeadlessDesktop desktop = HeadlessDesktop::System)
        : ports{
              prompter,
              clock,
              pump,
              desktop == HeadlessDesktop::System ? static_cast<Desktop&>(systemDesktop) : noDesktop,
              locale,
              status ? *status : nullStatus} {}
    HeadlessPorts(const HeadlessPorts&) = delete;
    HeadlessPorts& operator=(const HeadlessPorts&) = delete;

    SystemClock clock;
    NoEventPump pump;
    SystemDesktop systemDesktop;
    NoDesktop noDesktop;
    SystemLocale locale;
    NullStatusView nullStatus;
    Ports ports;
};

} // namespace trv
