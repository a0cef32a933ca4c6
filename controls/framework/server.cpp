#include "server.h"

#include "control_base.h"
#include "object_table.h"
#include "page_library.h"

namespace framework {

namespace {

LONG g_lockCount = 0;
HINSTANCE g_module = nullptr;
HANDLE g_heap = nullptr;
CRITICAL_SECTION g_section;
HWND g_parking = nullptr;
bool g_parkingClassRegistered = false;
bool g_reflectorClassRegistered = false;

const char kParkingClassName[] = "CtlFrameWork_Parking";

// Messages a container would normally reflect back to the control that sent them.
bool isReflectedMessage(UINT message) {
    switch (message) {
    case WM_SIZE:
    case WM_SETFOCUS:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_DELETEITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_COMPAREITEM:
    case WM_NOTIFY:
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_PARENTNOTIFY:
        return true;
    default:
        return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
    }
}

LRESULT CALLBACK reflectorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* control = reinterpret_cast<ControlBase*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (control && control->controlWindow() && isReflectedMessage(message))
        return SendMessageA(control->controlWindow(), message + kReflectedMessageBase, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

const char kReflectorClassName[] = "CtlFrameWork_ReflectWindow";

void lockServer() {
    InterlockedIncrement(&g_lockCount);
}
void unlockServer() {
    InterlockedDecrement(&g_lockCount);
}
LONG serverLockCount() {
    return InterlockedCompareExchange(&g_lockCount, 0, 0);
}

HINSTANCE moduleHandle() {
    return g_module;
}
HANDLE processHeap() {
    return g_heap;
}

std::string modulePath() {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(g_module, path, MAX_PATH);
    return std::string(path, length);
}

GlobalGuard::GlobalGuard() {
    EnterCriticalSection(&g_section);
}
GlobalGuard::~GlobalGuard() {
    LeaveCriticalSection(&g_section);
}

HWND parkingWindow() {
    GlobalGuard guard;
    if (g_parking) return g_parking;
    if (!g_parkingClassRegistered) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = g_module;
        windowClass.lpszClassName = kParkingClassName;
        g_parkingClassRegistered = RegisterClassA(&windowClass) != 0;
        if (!g_parkingClassRegistered) return nullptr;
    }
    g_parking =
        CreateWindowExA(0, kParkingClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, g_module, nullptr);
    if (g_parking) lockServer();
    return g_parking;
}

bool parkingWindowExists() {
    GlobalGuard guard;
    return g_parking != nullptr;
}

bool registerReflectorClass() {
    GlobalGuard guard;
    if (g_reflectorClassRegistered) return true;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = reflectorProc;
    windowClass.hInstance = g_module;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.lpszClassName = kReflectorClassName;
    g_reflectorClassRegistered = RegisterClassA(&windowClass) != 0;
    return g_reflectorClassRegistered;
}

bool libraryAttach(HINSTANCE module) {
    g_module = module;
    g_heap = GetProcessHeap();
    if (!g_heap) return false;
    InitializeCriticalSection(&g_section);
    DisableThreadLibraryCalls(module);
    return true;
}

void libraryDetach() {
    DeleteCriticalSection(&g_section);
    for (ObjectTableEntry* entry = objectTable(); entry->kind != kEndOfTable; ++entry) {
        if (entry->kind != kControl) continue;
        auto* control = static_cast<ControlDescription*>(entry->description);
        if (control->windowClassRegistered) {
            UnregisterClassA(control->windowClassName, g_module);
            control->windowClassRegistered = 0;
        }
    }
    if (g_parking) {
        DestroyWindow(g_parking);
        g_parking = nullptr;
        unlockServer();
    }
    if (g_parkingClassRegistered) UnregisterClassA(kParkingClassName, g_module);
    if (g_reflectorClassRegistered) UnregisterClassA(kReflectorClassName, g_module);
    freePageLibrary();
}

} // namespace framework

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) return framework::libraryAttach(module) ? TRUE : FALSE;
    if (reason == DLL_PROCESS_DETACH) framework::libraryDetach();
    return TRUE;
}
