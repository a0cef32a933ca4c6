#include "dialogs.h"

#include "error.h"

namespace runtime {

namespace {

// Until the program installs its service, any box is an error: a box nobody can answer would hang.
class NoDialogs : public DialogService {
public:
    Answer msgBox(const std::string& prompt, int, const std::string&) override {
        throw Error(5, "Dorvane", "No dialog service to show: " + prompt);
    }
    std::optional<std::string> inputBox(const std::string& prompt, const std::string&,
                                        const std::string&) override {
        throw Error(5, "Dorvane", "No dialog service to ask: " + prompt);
    }
};

std::shared_ptr<DialogService>& current() {
    static std::shared_ptr<DialogService> service = std::make_shared<NoDialogs>();
    return service;
}

} // namespace

DialogService& dialogs() {
    return *current();
}
void setDialogs(std::shared_ptr<DialogService> service) {
    current() = service ? std::move(service) : std::make_shared<NoDialogs>();
}

Answer MsgBox(const std::string& prompt, int flags, const std::string& title) {
    return dialogs().msgBox(prompt, flags, title);
}

std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                    const std::string& defaultText) {
    return dialogs().inputBox(prompt, title, defaultText);
}

std::string inputBoxText(const std::string& prompt, const std::string& title,
                         const std::string& defaultText) {
    return InputBox(prompt, title, defaultText).value_or("");
}

} // namespace runtime
