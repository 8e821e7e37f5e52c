// Test fakes of the ports: each records what it was asked and answers from a
// script, so tests can assert the system's texts letter for letter.
#pragma once

#include "common/Ports.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace trv::test {

class FakePrompter : public Prompter {
public:
    struct Shown {
        std::string text;
        Buttons buttons;
        std::string title;
    };
    struct Asked {
        std::string prompt, title, preset;
    };

    // Answers for the next message boxes, in order; without a scripted answer
    // OK/Yes boxes answer the first button (Ok or Yes).
    std::deque<Answer> answers;
    // Answers for the next input boxes, in order; without one the box is
    // cancelled.
    std::deque<InputResult> inputs;

    std::vector<Shown> messages;
    std::vector<Asked> prompts;
    // Called when an input box opens, before it is answered (for example to
    // change the world while the user is typing).
    std::function<void(const std::string& prompt)> onInput;

    Answer message(const std::string& text, Buttons buttons, const std::string& title) override;
    InputResult input(const std::string& prompt, const std::string& title,
                      const std::string& preset) override;

    void answer(Answer a) { answers.push_back(a); }
    void type(const std::string& text) { inputs.push_back({false, text}); }
    void cancelInput() { inputs.push_back({true, ""}); }

    std::vector<std::string> texts() const;
    bool saw(const std::string& text) const;
    void clear() { messages.clear(); prompts.clear(); }
};

class FakeClock : public Clock {
public:
    LocalDateTime current{2024, 3, 15, 9, 30, 0, 0};
    std::vector<int> sleeps;
    long long totalSleptMs = 0;
    // Called on every sleep (for example to run something "meanwhile").
    std::function<void(int)> onSleep;

    LocalDateTime now() override { return current; }
    void sleepMs(int ms) override;
    void advanceMs(long long ms);
    void set(int y, int mo, int d, int h, int mi, int s = 0) { current = {y, mo, d, h, mi, s, 0}; }
};

class FakeEventPump : public EventPump {
public:
    int calls = 0;
    // Actions run at the given call number (1-based): "press STOP here".
    std::map<int, std::function<void()>> at;
    std::function<void()> every;
    void processEvents() override;
};

class FakeDesktop : public Desktop {
public:
    struct Call {
        std::string what;
        std::vector<std::string> args;
    };
    std::vector<Call> calls;
    bool result = true;
    bool openDocument(const std::string& path) override { return record("openDocument", {path}); }
    bool openFolder(const std::string& path) override { return record("openFolder", {path}); }
    bool showInFolder(const std::string& path) override { return record("showInFolder", {path}); }
    bool openUrl(const std::string& url) override { return record("openUrl", {url}); }
    bool startSelf(const std::vector<std::string>& args) override { return record("startSelf", args); }

private:
    bool record(const std::string& what, std::vector<std::string> args) {
        calls.push_back({what, std::move(args)});
        return result;
    }
};

class FakeLocale : public Locale {
public:
    std::string list = ",";
    std::string decimal = ".";
    int listQueries = 0;
    std::string listSeparator() override { ++listQueries; return list; }
    std::string decimalSeparator() override { return decimal; }
    std::string formatDateTime(const LocalDateTime& t) override;
};

class RecordingStatus : public StatusView {
public:
    struct Entry {
        std::string target;
        std::string text;
    };
    std::vector<Entry> texts;                 // every setText in order
    std::map<std::string, std::string> current;
    std::map<std::string, bool> visible;
    std::map<std::string, std::pair<double, double>> progress;
    int repaints = 0;

    void setText(const std::string& target, const std::string& text) override {
        texts.push_back({target, text});
        current[target] = text;
    }
    void setVisible(const std::string& target, bool v) override { visible[target] = v; }
    void setProgress(const std::string& target, double value, double maximum) override {
        progress[target] = {value, maximum};
    }
    void repaint() override { ++repaints; }

    // Texts shown on one target, in order.
    std::vector<std::string> on(const std::string& target) const;
};

// All fakes together, with a Ports bundle over them.
struct FakePorts {
    FakePrompter prompter;
    FakeClock clock;
    FakeEventPump pump;
    FakeDesktop desktop;
    FakeLocale locale;
    RecordingStatus status;
    Ports ports{prompter, clock, pump, desktop, locale, status};
};

} // namespace trv::test
