// The verbs a control offers a designer's menu and a container's enumeration: its own Properties
// verb under the name in the library's strings, and the standard verbs it answers.
#pragma once

#include <ole2.h>
#include <olectl.h> // OLEIVERB_PROPERTIES
#include <windows.h>

#include <string>
#include <vector>

namespace framework {

// The control's own verb: it opens the property frame.
const LONG kVerbProperties = 1;

struct Verb {
    LONG number;
    std::wstring name;
    DWORD menuFlags;
    DWORD attributes;
};

// The list every control of the framework answers, in the order a container shows it.
std::vector<Verb> controlVerbs();

// A new enumerator over `verbs` (reference count 1).
IEnumOLEVERB* enumerateVerbs(const std::vector<Verb>& verbs);

} // namespace framework
