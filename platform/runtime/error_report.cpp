#include "error_report.h"

#include "dialogs.h"

#include <cstdlib>
#include <new>
#include <vector>

namespace runtime {

namespace {
constexpr long kInternalError = 51;

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
    if (!exitFn) exitFn = [](int code) { std::exit(code); }; // the real ending again
    exitFunction() = std::move(exitFn);
}

void runFatalErrorCleanups() {
    for (auto& cleanup : cleanups()) {
        try {
            cleanup();
        } catch (...) {
        }
    }
}

void reportFatalError(const Error& e) {
    // Leave the data consistent first: the report waits for the user, the database must not.
    runFatalErrorCleanups();
    try {
        MsgBox(runtimeErrorText(e), mb::Critical, kDefaultTitle);
    } catch (...) {
    }
    exitFunction()(1);
    std::abort(); // an exit replacement that returned
}

void reportFatalError(std::exception_ptr escaped) {
    try {
        std::rethrow_exception(escaped);
    } catch (const Error& e) {
        reportFatalError(e);
    } catch (const std::bad_alloc&) {
        reportFatalError(Error(7, "Dorvane", standardErrorText(7)));
    } catch (const std::exception& e) {
        reportFatalError(Error(kInternalError, "Dorvane", std::string("Internal error: ") + e.what()));
    } catch (...) {
        reportFatalError(Error(kInternalError, "Dorvane", "Internal error: an unknown failure."));
    }
}

} // namespace runtime
