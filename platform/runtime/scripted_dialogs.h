#pragma once
// A dialog service for tests: answers come from a script, every box shown is recorded, and a box
// the script did not expect fails the test loudly instead of blocking.
#include "dialogs.h"

#include <deque>
#include <vector>

namespace runtime {

class ScriptedDialogs : public DialogService {
public:
    struct Shown {
        enum Kind { Message, Input } kind;
        std::string prompt, title;
        int flags = 0;
        std::string defaultText;
    };

    // Queue the next answers, in order.
    ScriptedDialogs& answer(Answer a);
    ScriptedDialogs& type(std::string text); // the next input box returns this text
    ScriptedDialogs& cancelInput();          // the next input box is canceled

    Answer msgBox(const std::string& prompt, int flags, const std::string& title) override;
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override;

    const std::vector<Shown>& shown() const { return shown_; }
    bool allAnswersUsed() const { return script_.empty(); }
    void clear() {
        shown_.clear();
        script_.clear();
    }

private:
    struct Step {
        bool isInput;
        Answer answer;
        std::optional<std::string> text;
    };
    std::deque<Step> script_;
    std::vector<Shown> shown_;
};

// Installs a fresh scripted service as the program's dialogs and returns it.
std::shared_ptr<ScriptedDialogs> useScriptedDialogs();

} // namespace runtime
