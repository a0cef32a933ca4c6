#pragma once
// What dorvane answers on its command line without opening a window: --help and --version work
// in a terminal with no display, as packaging tools and administrators call them.
#include <optional>

// The exit status when the command line was answered (help, version, a misspelt option of ours),
// else nothing and the program starts. Qt's own options (-platform, -style…) are left to Qt.
std::optional<int> answerCommandLine(int argc, char** argv);
