#include "support/Fakes.h"

#include "common/Numeric.h"

#include <algorithm>

namespace trv::test {

Answer FakePrompter::message(const std::string& text, Buttons buttons, const std::string& title) {
    messages.push_back({text, buttons, title});
    if (!answers.empty()) {
        Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    return (buttons == Buttons::Ok || buttons == Buttons::OkCancel) ? Answer::Ok : Answer::Yes;
}

InputResult FakePrompter::input(const std::string& prompt, const std::string& title,
                                const std::string& preset) {
    prompts.push_back({prompt, title, preset});
    if (onInput) onInput(prompt);
    if (inputs.empty()) return {true, ""};
    InputResult r = inputs.front();
    inputs.pop_front();
    return r;
}

std::vector<std::string> FakePrompter::texts() const {
    std::vector<std::string> out;
    for (const auto& m : messages) out.push_back(m.text);
    return out;
}

bool FakePrompter::saw(const std::string& text) const {
    return std::any_of(messages.begin(), messages.end(),
                       [&](const Shown& m) { return m.text == text; });
}

void FakeClock::sleepMs(int ms) {
    sleeps.push_back(ms);
    totalSleptMs += ms;
    advanceMs(ms);
    if (onSleep) onSleep(ms);
}

void FakeClock::advanceMs(long long ms) {
    current = fromSerialDays(toSerialDays(current) + static_cast<double>(ms) / 86400000.0);
}

void FakeEventPump::processEvents() {
    ++calls;
    auto it = at.find(calls);
    if (it != at.end()) it->second();
    if (every) every();
}

std::string FakeLocale::formatDateTime(const LocalDateTime& t) {
    return zeroPadded(t.day, 2) + "/" + zeroPadded(t.month, 2) + "/" + zeroPadded(t.year, 4) + " " +
           zeroPadded(t.hour, 2) + ":" + zeroPadded(t.minute, 2) + ":" + zeroPadded(t.second, 2);
}

std::vector<std::string> RecordingStatus::on(const std::string& target) const {
    std::vector<std::string> out;
    for (const auto& e : texts)
        if (e.target == target) out.push_back(e.text);
    return out;
}

} // namespace trv::test
