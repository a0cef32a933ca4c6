#pragma once
// Every message box and input box of the program goes through this service. The GUI implements it
// with Qt dialogs (qt_dialogs.h); tests script the answers (scripted_dialogs.h).
#include <memory>
#include <optional>
#include <string>

namespace runtime {

// Buttons and icons of a message box, and its answers, with the platform's numbers so that code
// reads like the program's own (vbYesNo + vbQuestion ...).
namespace mb {
inline constexpr int OKOnly = 0, OKCancel = 1, AbortRetryIgnore = 2, YesNoCancel = 3, YesNo = 4,
                     RetryCancel = 5;
inline constexpr int Critical = 16, Question = 32, Exclamation = 48, Information = 64;
inline constexpr int DefaultButton2 = 256, DefaultButton3 = 512;
inline constexpr int ButtonsMask = 0x0F, IconMask = 0xF0, DefaultMask = 0xF00;
} // namespace mb

enum class Answer { OK = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

inline constexpr const char* kDefaultTitle = "Dorvane";

class DialogService {
public:
    virtual ~DialogService() = default;
    // MsgBox: the prompt, the button/icon flags above, the title.
    virtual Answer msgBox(const std::string& prompt, int flags, const std::string& title) = 0;
    // InputBox: the typed text, or std::nullopt when the user cancels (the language gives "" then;
    // callers that cannot tell the two apart use inputBoxText()).
    virtual std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                                const std::string& defaultText) = 0;
};

// The service in use; the program installs the Qt one at start-up, tests a scripted one.
DialogService& dialogs();
void setDialogs(std::shared_ptr<DialogService> service);

// Shorthands with the program's defaults (OK button, title "Dorvane").
Answer MsgBox(const std::string& prompt, int flags = mb::OKOnly, const std::string& title = kDefaultTitle);
std::optional<std::string> InputBox(const std::string& prompt, const std::string& title = kDefaultTitle,
                                    const std::string& defaultText = "");
// The language's InputBox: "" on Cancel.
std::string inputBoxText(const std::string& prompt, const std::string& title = kDefaultTitle,
                         const std::string& defaultText = "");

} // namespace runtime
