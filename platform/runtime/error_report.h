#pragma once
// The standard run-time error report: an error that no handler traps is shown as
//   Run-time error '<number>':
//
//   <description>
// titled with the program's name, and the program ends. Before it ends, registered clean-up runs so
// the database is left consistent (an open transaction is rolled back, never half-written).
#include "error.h"

#include <functional>
#include <string>

namespace runtime {

std::string runtimeErrorText(const Error& e);

// Something to run before the program ends on an unhandled error (roll back transactions...).
void onFatalError(std::function<void()> cleanup);

// Shows the report through the dialog service, runs the clean-ups and ends the program with exit code 1.
// Tests replace the ending with setFatalErrorExit(); a replacement must not return (throw instead).
[[noreturn]] void reportFatalError(const Error& e);
void setFatalErrorExit(std::function<void(int)> exitFn);

} // namespace runtime
