#pragma once
// The program's shared state: the options object and the flags the main window, the board and the
// side windows read and write.
#include <cstdint>
#include <memory>
#include <string>

class CKelmarOptions;

namespace basGlobals {

extern std::unique_ptr<CKelmarOptions> gOptions;
extern bool gHighlightLine;           // the board highlights the whole current line
extern bool gAutoRefresh;             // the board's refresh timer runs
extern std::int16_t gRefreshInterval; // minutes between automatic refreshes
extern bool gRefreshPending;          // a timed refresh came due while it could not run
extern std::string gUserName;         // the login that passed the check
extern std::string gUserPassword;

// Back to the state of a program that has just started (tests).
void resetGlobals();

} // namespace basGlobals
