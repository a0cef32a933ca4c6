#include "scripted_dialogs.h"

#include <stdexcept>

namespace runtime {

ScriptedDialogs& ScriptedDialogs::answer(Answer a) {
    script_.push_back({false, a, std::nullopt});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::type(std::string text) {
    script_.push_back({true, Answer::OK, std::move(text)});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::cancelInput() {
    script_.push_back({true, Answer::Cancel, std::nullopt});
    return *this;
}

namespace {
// A plain OK box has only one answer, so informational boxes need no script line.
std::optional<Answer> implicitAnswer(int flags) {
    if ((flags & mb::ButtonsMask) == mb::OKOnly) return Answer::OK;
    return std::nullopt;
}
} // namespace

Answer ScriptedDialogs::msgBox(const std::string& prompt, int flags, const std::string& title) {
    shown_.push_back({Shown::Message, prompt, title, flags, ""});
    if (auto a = implicitAnswer(flags)) return *a;
    if (!script_.empty() && !script_.front().isInput) {
        Answer a = script_.front().answer;
        script_.pop_front();
        return a;
    }
    throw std::logic_error("unexpected question: " + prompt);
}

std::optional<std::string> ScriptedDialogs::inputBox(const std::string& prompt, const std::string& title,
                                                     const std::string& defaultText) {
    shown_.push_back({Shown::Input, prompt, title, 0, defaultText});
    if (script_.empty() || !script_.front().isInput)
        throw std::logic_error("unexpected input box: " + prompt);
    auto text = script_.front().text;
    script_.pop_front();
    return text;
}

std::shared_ptr<ScriptedDialogs> useScriptedDialogs() {
    auto s = std::make_shared<ScriptedDialogs>();
    setDialogs(s);
    return s;
}

} // namespace runtime
