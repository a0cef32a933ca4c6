#pragma once
// The dialog service of the running program: message and input boxes as Qt dialogs.
#include "dialogs.h"

namespace runtime {

class QtDialogs : public DialogService {
public:
    Answer msgBox(const std::string& prompt, int flags, const std::string& title) override;
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override;
};

} // namespace runtime
