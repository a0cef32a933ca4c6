// Process-wide state of a control library: the server lock count, the module, the heap, the one
// critical section, and the auxiliary windows every control of the library shares.
#pragma once

#include <windows.h>

#include <string>

namespace framework {

void lockServer();
void unlockServer();
LONG serverLockCount();

HINSTANCE moduleHandle();
std::string modulePath();
HANDLE processHeap();

// The one global critical section: window-class registrations, the parking window, the page
// library handle and the grey-text callback data are guarded by it.
class GlobalGuard {
public:
    GlobalGuard();
    ~GlobalGuard();
    GlobalGuard(const GlobalGuard&) = delete;
    GlobalGuard& operator=(const GlobalGuard&) = delete;
};

// Hidden owner of control windows that are not in place; its existence holds a server lock.
HWND parkingWindow();
bool parkingWindowExists();

// Registered on first use; used when the container does not reflect control notifications.
bool registerReflectorClass();
extern const char kReflectorClassName[];

// Called from the library entry routine.
bool libraryAttach(HINSTANCE module);
void libraryDetach();

} // namespace framework
