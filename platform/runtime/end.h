#pragma once
// The language's End statement: the program stops at once, no further handler runs. Tests replace
// the ending (the replacement must not return: throw instead).
#include <functional>

namespace runtime {

[[noreturn]] void End();
void setEndHandler(std::function<void()> handler); // nullptr restores the real ending

} // namespace runtime
