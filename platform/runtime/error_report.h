#pragma once
// The standard run-time error report: an error that no handler traps is shown as
//   Run-time error '<number>':
//
//   <description>
// titled with the program's name, and the program ends. Before it ends, registered clean-up runs so
// the database is left consistent (an open transaction is rolled back, never half-written).
#include "error.h"

#include <exception>
#include <functional>
#include <string>

namespace runtime {

std::string runtimeErrorText(const Error& e);

// Something to run before the program ends on an unhandled error (roll back transactions...).
void onFatalError(std::function<void()> cleanup);

// Runs the clean-ups, shows the report through the dialog service and ends the program with exit
// code 1. Tests replace the ending with setFatalErrorExit(); a replacement must not return (throw instead).
[[noreturn]] void reportFatalError(const Error& e);
// The same for whatever reached the event loop: a run-time error as it is; running out of memory as
// error 7; any other failure as error 51 with what it says, so that it too is rolled back and shown
// rather than ending the program with nothing said and a transaction open.
[[noreturn]] void reportFatalError(std::exception_ptr escaped);
// Runs the clean-ups registered with onFatalError (each once per call, a failing one skipped): also
// what End and a normal end of the program run.
void runFatalErrorCleanups();
void setFatalErrorExit(std::function<void(int)> exitFn); // nullptr restores the real ending

} // namespace runtime
