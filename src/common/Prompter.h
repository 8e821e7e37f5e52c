// Modal message boxes and input boxes, as the core asks the user.
#pragma once

#include <string>
#include <vector>

namespace trv {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

struct InputResult {
    bool cancelled = false;
    std::string text;
};

class Prompter {
public:
    virtual ~Prompter() = default;
    // Shows a message with the given buttons and returns the button pressed.
    virtual Answer message(const std::string& text, Buttons buttons = Buttons::Ok,
                           const std::string& title = "") = 0;
    // Asks for a text; a cancelled box returns cancelled with an empty text.
    virtual InputResult input(const std::string& prompt, const std::string& title,
                              const std::string& preset) = 0;

    // Shorthands.
    void show(const std::string& text) { message(text, Buttons::Ok); }
    bool askYesNo(const std::string& text, const std::string& title = "") {
        return message(text, Buttons::YesNo, title) == Answer::Yes;
    }
};

// Keeps every text instead of showing it, for work without a window that
// must say why it failed: questions get their first answer (Yes or Ok), input
// boxes are cancelled.
class CollectingPrompter : public Prompter {
public:
    std::vector<std::string> messages;
    Answer message(const std::string& text, Buttons buttons, const std::string&) override {
        messages.push_back(text);
        return buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel ? Answer::Yes
                                                                            : Answer::Ok;
    }
    InputResult input(const std::string&, const std::string&, const std::string&) override {
        return {true, ""};
    }
};

} // namespace trv
