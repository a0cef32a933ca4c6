// Keys are played through a journal-playback hook, which feeds them to the system input queue one
// by one. Current systems refuse such hooks to ordinary programs, and some accept the hook but never
// call it; in both cases the keys not played yet go in through SendInput, which the system also
// treats as typed input.
#include "key_player.h"

#include <windows.h>

#include <vector>

#include "key_sequence.h"
#include "server.h"

namespace timectl {

namespace {

std::vector<vxtime::PlayedKey> g_playing;
std::size_t g_next = 0;
HHOOK g_hook = nullptr;
bool g_hookCalled = false;
UINT_PTR g_watch = 0;
// How long a hook that was accepted may stay silent before the keys are sent another way.
const UINT kSilentHookMilliseconds = 100;

UINT messageOf(const vxtime::PlayedKey& key) {
    if (key.system) return key.down ? WM_SYSKEYDOWN : WM_SYSKEYUP;
    return key.down ? WM_KEYDOWN : WM_KEYUP;
}

void stopPlaying() {
    if (g_watch) KillTimer(nullptr, g_watch);
    g_watch = 0;
    if (g_hook) UnhookWindowsHookEx(g_hook);
    g_hook = nullptr;
    g_playing.clear();
    g_next = 0;
}

LRESULT CALLBACK journalPlayback(int code, WPARAM wParam, LPARAM lParam) {
    g_hookCalled = true;
    if (code == HC_GETNEXT && g_next < g_playing.size()) {
        auto* event = reinterpret_cast<EVENTMSG*>(lParam);
        const vxtime::PlayedKey& key = g_playing[g_next];
        event->message = messageOf(key);
        event->paramL = MAKEWORD(key.keyCode, MapVirtualKeyA(key.keyCode, 0));
        event->paramH = 1;
        event->time = GetTickCount();
        event->hwnd = nullptr;
        return 0;
    }
    if (code == HC_SKIP) {
        if (++g_next >= g_playing.size()) stopPlaying();
        return 0;
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

void sendInput(const std::vector<vxtime::PlayedKey>& keys) {
    std::vector<INPUT> inputs(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = keys[i].keyCode;
        inputs[i].ki.wScan = static_cast<WORD>(MapVirtualKeyA(keys[i].keyCode, 0));
        inputs[i].ki.dwFlags = keys[i].down ? 0 : KEYEVENTF_KEYUP;
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void CALLBACK watchHook(HWND, UINT, UINT_PTR, DWORD) {
    framework::GlobalGuard guard;
    if (g_hookCalled || !g_hook) {
        if (g_watch) KillTimer(nullptr, g_watch);
        g_watch = 0;
        return;
    }
    std::vector<vxtime::PlayedKey> rest(g_playing.begin() + static_cast<std::ptrdiff_t>(g_next),
                                        g_playing.end());
    stopPlaying();
    sendInput(rest);
}

int layoutKey(char c) {
    return VkKeyScanA(c);
}

} // namespace

bool playKeys(const char* text) {
    framework::GlobalGuard guard;
    if (g_hook) return false; // the previous sequence is still playing
    auto keys = vxtime::keySequence(text, layoutKey);
    if (!keys || keys->empty()) return false;
    g_playing = std::move(*keys);
    g_next = 0;
    g_hookCalled = false;
    g_hook = SetWindowsHookExA(WH_JOURNALPLAYBACK, journalPlayback, framework::moduleHandle(), 0);
    if (g_hook) {
        g_watch = SetTimer(nullptr, 0, kSilentHookMilliseconds, watchHook);
        return true;
    }
    sendInput(g_playing);
    g_playing.clear();
    return true;
}

} // namespace timectl
