#pragma once
// Tests ask which run-time error a call raises: its number, or 0 when it raises none.
#include "runtime/error.h"

#include <functional>

namespace runtime::testing {

inline long errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const runtime::Error& e) {
        return e.number();
    }
    return 0;
}

} // namespace runtime::testing
