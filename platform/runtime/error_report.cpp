#include "error_report.h"

#include "dialogs.h"

#include <cstdlib>
#include <vector>

namespace runtime {

namespace {
std::vector<std::function<void()>>& cleanups() {
    static std::vector<std::function<void()>> list;
    return list;
}
std::function<void(int)>& exitFunction() {
    static std::function<void(int)> fn = [](int code) { std::exit(code); };
    return fn;
}
} // namespace

std::string runtimeErrorText(const Error& e) {
    return "Run-time error '" + std::to_string(e.number()) + "':\n\n" + e.description();
}

void onFatalError(std::function<void()> cleanup) {
    cleanups().push_back(std::move(cleanup));
}

void setFatalErrorExit(std::function<void(int)> exitFn) {
    exitFunction() = std::move(exitFn);
}

void reportFatalError(const Error& e) {
    // Leave the data consistent first: the report waits for the user, the database must not.
    for (auto& cleanup : cleanups()) {
        try {
            cleanup();
        } catch (...) {
        }
    }
    try {
        MsgBox(runtimeErrorText(e), mb::Critical, kDefaultTitle);
    } catch (...) {
    }
    exitFunction()(1);
    std::abort(); // an exit replacement that returned
}

} // namespace runtime
