#include "end.h"

#include "error_report.h"

#include <cstdio>
#include <cstdlib>

namespace runtime {

namespace {
std::function<void()>& handler() {
    static std::function<void()> fn;
    return fn;
}
} // namespace

void End() {
    // What the fatal-error report runs first (open transactions rolled back) runs here too: End
    // ends the program at once, but never with half a change in the database.
    runFatalErrorCleanups();
    if (handler()) handler()();
    std::fflush(nullptr);
    std::_Exit(0); // at once: no destructors, no window handlers
}

void setEndHandler(std::function<void()> fn) { handler() = std::move(fn); }

} // namespace runtime
