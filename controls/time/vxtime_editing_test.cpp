// Editing VxTime in place with window messages, as a user's keys and mouse reach it in a running
// form: typing, refusals and their events, the key properties, the accelerator stage, the
// clipboard, deleting and Escape, focus entry and exit, and the two refused assignments (a limit
// that is no time of day, a prompt character the code page cannot hold).
#include <gtest/gtest.h>

#include <windows.h>

#include <imm.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "vxtime_test_fixture.h"

namespace {

const HRESULT kInvalidPropertyValue = static_cast<HRESULT>(0x800A017C);
const DISPID kInvalidInput = 1, kInvalidRange = 2, kChange = 3;

// A running form's control, active in place, edited through its window.
class Editing : public vxtimetest::HostedTime {
protected:
    void SetUp() override {
        HostedTime::SetUp();
        if (HasFatalFailure()) return;
        time_ = host();
        ASSERT_EQ(time_->activate(RECT{10, 10, 170, 34}), S_OK);
        window_ = time_->controlWindow();
        ASSERT_NE(window_, nullptr);
        setModifiers(false, false);
    }
    void TearDown() override {
        time_.reset();
        HostedTime::TearDown();
    }

    // Sets the time and Format, then gives the control the focus.
    void start(const wchar_t* format, long number) {
        SetFocus(time_->form());
        vxtest::pumpMessages();
        ASSERT_EQ(putText(L"Format", format), S_OK);
        ASSERT_EQ(time_->putLong(L"Number", number), S_OK);
        focus();
    }
    void focus() {
        SetFocus(window_);
        vxtest::pumpMessages();
        time_->clearEvents();
    }
    void blur() {
        SetFocus(time_->form());
        vxtest::pumpMessages(); // the posted check after focus loss
    }
    HRESULT putText(const wchar_t* name, const wchar_t* text) {
        VARIANT value;
        V_VT(&value) = VT_BSTR;
        V_BSTR(&value) = SysAllocString(text);
        HRESULT hr = time_->put(name, value);
        VariantClear(&value);
        return hr;
    }
    std::wstring getText(const wchar_t* name) {
        VARIANT value;
        if (FAILED(time_->get(name, &value)) || V_VT(&value) != VT_BSTR) return L"<failed>";
        std::wstring text(V_BSTR(&value), SysStringLen(V_BSTR(&value)));
        VariantClear(&value);
        return text;
    }
    std::string shown() {
        char text[64] = {};
        GetWindowTextA(window_, text, sizeof text);
        return text;
    }
    void type(const char* keys) {
        for (const char* c = keys; *c; ++c)
            SendMessageA(window_, WM_CHAR, static_cast<unsigned char>(*c), 1);
    }
    void press(WPARAM key) {
        SendMessageA(window_, WM_KEYDOWN, key, 1);
        SendMessageA(window_, WM_KEYUP, key, 0xC0000001);
    }
    void setModifiers(bool shift, bool ctrl) {
        BYTE state[256];
        GetKeyboardState(state);
        state[VK_SHIFT] = shift ? 0x80 : 0;
        state[VK_CONTROL] = ctrl ? 0x80 : 0;
        SetKeyboardState(state);
    }
    void select(int start, int length) {
        time_->putLong(L"SelStart", start);
        time_->putLong(L"SelLength", length);
    }
    // The control's own events, in order, without the stock key and mouse events.
    std::vector<DISPID> timeEvents() {
        std::vector<DISPID> out;
        for (const auto& event : time_->events())
            if (event.dispid >= 1 && event.dispid <= 3) out.push_back(event.dispid);
        return out;
    }
    std::string clipboard() {
        if (!OpenClipboard(nullptr)) return "<closed>";
        std::string text = "<none>";
        if (HANDLE data = GetClipboardData(CF_TEXT)) {
            text = static_cast<const char*>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
        return text;
    }
    void emptyClipboard() {
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            CloseClipboard();
        }
    }
    HRESULT accelerator(WPARAM key) {
        IOleInPlaceActiveObject* active = time_->as<IOleInPlaceActiveObject>(IID_IOleInPlaceActiveObject);
        MSG message = {window_, WM_KEYDOWN, key, 1, 0, {0, 0}};
        HRESULT hr = active->TranslateAccelerator(&message);
        active->Release();
        return hr;
    }

    std::unique_ptr<vxtest::Container> time_;
    HWND window_ = nullptr;
};

TEST_F(Editing, DigitsOverwriteInPlaceAndRefusalsBeepAndFireInvalidInput) {
    time_->putLong(L"ErrorBeep", -1);
    start(L"hh:mm:ss", 123045);
    EXPECT_EQ(shown(), "12:30:45");
    EXPECT_EQ(time_->getLong(L"SelStart"), 0);
    type("7");
    EXPECT_EQ(shown(), "07:30:45");
    EXPECT_EQ(time_->getLong(L"SelStart"), 3); // on the minute's first digit
    EXPECT_EQ(time_->getLong(L"Number"), 73045);
    EXPECT_EQ(timeEvents(), std::vector<DISPID>{kChange});
    // The framework's KeyPress comes first, the control's own event after it.
    ASSERT_EQ(time_->events().size(), 2u);
    EXPECT_EQ(time_->events()[0].dispid, DISPID_KEYPRESS);
    EXPECT_EQ(time_->events()[0].arguments, std::vector<long>{'7'});
    EXPECT_EQ(time_->changes().back(), 18); // the bound field follows the committed time

    IVxTime* control = time_->as<IVxTime>(IID_IVxTime);
    ASSERT_EQ(control->ClearControl(), S_OK);
    control->Release();
    EXPECT_EQ(shown(), "__:__:__");
    select(0, 0);
    time_->clearEvents();
    type("25");
    EXPECT_EQ(shown(), "2_:__:__"); // 25 is no hour
    EXPECT_EQ(timeEvents(), std::vector<DISPID>{kInvalidInput});
    EXPECT_EQ(time_->getLong(L"Number"), 999999);
    type("3x5959");
    EXPECT_EQ(shown(), "23:59:59");
    EXPECT_EQ(time_->getLong(L"Number"), 235959);

    // Backspace empties the digit before the caret; Ctrl+V is refused like any other control key.
    time_->clearEvents();
    type("\b");
    EXPECT_EQ(shown(), "23:59:5_");
    type("\x16");
    EXPECT_EQ(timeEvents(), std::vector<DISPID>{kInvalidInput});
    SendMessageA(window_, WM_PASTE, 0, 0);
    EXPECT_EQ(shown(), "23:59:5_");
}

TEST_F(Editing, AmPmLettersAndTheKeyProperties) {
    start(L"hh:mm AM/PM", 93000);
    select(6, 0);
    type("p");
    EXPECT_EQ(shown(), "09:30 PM");
    EXPECT_EQ(time_->getLong(L"Number"), 213000);
    time_->clearEvents();
    select(6, 0);
    type("x");
    EXPECT_EQ(timeEvents(), std::vector<DISPID>{kInvalidInput});

    // F2 empties, F3 brings the current time back; neither is a keystroke with events of its own.
    time_->clearEvents();
    press(VK_F2);
    type("\x71"); // whatever character follows a key-property key is dropped
    EXPECT_EQ(shown(), "__:__ __");
    EXPECT_EQ(time_->getLong(L"Number"), 999999);
    time_->putLong(L"ReadOnly", -1);
    press(VK_F3);
    EXPECT_EQ(time_->getLong(L"Number"), 999999); // not while ReadOnly
    type("1");
    EXPECT_EQ(shown(), "__:__ __");
    time_->putLong(L"ReadOnly", 0);
    press(VK_F3);
    EXPECT_NE(time_->getLong(L"Number"), 999999);
    EXPECT_EQ(shown().find('_'), std::string::npos);
    EXPECT_EQ(timeEvents(), std::vector<DISPID>{});

    // A key may belong to one property only.
    EXPECT_EQ(putText(L"KeyNow", L"{F2}"), kInvalidPropertyValue);
    EXPECT_EQ(getText(L"KeyNow"), L"{F3}");
    EXPECT_EQ(putText(L"KeyClear", L"{F2},{bogus}"), kInvalidPropertyValue);
    EXPECT_EQ(getText(L"KeyClear"), L"{F2}");

    // KeyNext Enter moves on as Tab does, and Enter is then no refused keystroke.
    ASSERT_EQ(putText(L"KeyNext", L"{ENTER}"), S_OK);
    time_->clearEvents();
    EXPECT_EQ(accelerator(VK_RETURN), S_OK);
    MSG posted;
    ASSERT_TRUE(PeekMessageA(&posted, window_, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
    EXPECT_EQ(posted.wParam, static_cast<WPARAM>(VK_TAB));
    SendMessageA(window_, WM_KEYDOWN, VK_RETURN, 1);
    type("\r");
    EXPECT_EQ(timeEvents(), std::vector<DISPID>{});
    type("\r"); // without the key property's key-down, Enter is refused
    EXPECT_EQ(timeEvents(), std::vector<DISPID>{kInvalidInput});
    EXPECT_EQ(accelerator('Q'), S_FALSE);

    // KeyPrevious plays Shift+Tab to the system: the window with the focus receives it as typed.
    ASSERT_EQ(putText(L"KeyPrevious", L"^{P}"), S_OK);
    time_->clearEvents();
    setModifiers(false, true);
    EXPECT_EQ(accelerator('P'), S_OK);
    EXPECT_GE(GetKeyState(VK_CONTROL), 0); // Ctrl is let go of first
    // The keys arrive through the input queue; wait for them (a slow emulated system needs longer).
    bool shiftTab = false;
    for (int round = 0; round < 500 && !shiftTab; ++round) {
        vxtest::pumpMessages();
        for (const auto& event : time_->events())
            shiftTab = shiftTab ||
                       (event.dispid == DISPID_KEYDOWN && event.arguments == std::vector<long>{VK_TAB, 1});
        if (!shiftTab) Sleep(10);
    }
    EXPECT_TRUE(shiftTab);
}

TEST_F(Editing, ClipboardDeletingAndEscape) {
    start(L"hh:mm:ss", 123045);
    emptyClipboard();
    time_->putLong(L"ClipMode", 1);
    select(0, 8);
    SendMessageA(window_, WM_COPY, 0, 0);
    EXPECT_EQ(clipboard(), "123045");
    time_->putLong(L"ClipMode", 0);
    setModifiers(false, true);
    type("\x03"); // Ctrl+C
    setModifiers(false, false);
    EXPECT_EQ(clipboard(), "12:30:45");
    emptyClipboard();
    select(2, 1);
    time_->putLong(L"ClipMode", 1);
    SendMessageA(window_, WM_COPY, 0, 0); // only a literal: nothing is placed
    EXPECT_EQ(clipboard(), "<none>");

    select(3, 0);
    press(VK_DELETE);
    EXPECT_EQ(shown(), "12:__:45");
    EXPECT_EQ(time_->getLong(L"Number"), 123045); // an incomplete time is not taken
    setModifiers(false, true);
    press(VK_DELETE); // swallowed
    setModifiers(false, false);
    EXPECT_EQ(shown(), "12:__:45");
    time_->putLong(L"ErrorBeep", -1);
    time_->clearEvents();
    press(VK_ESCAPE);
    type("\x1b"); // the character the message loop makes of the key: consumed with it, no beep
    EXPECT_EQ(shown(), "12:30:45");
    EXPECT_EQ(time_->getLong(L"SelStart"), 0);
    EXPECT_EQ(timeEvents(), std::vector<DISPID>{});
    // After a commit Escape puts the focus-entry time back, and the bound field follows it.
    type("7");
    time_->clearChanges();
    press(VK_ESCAPE);
    EXPECT_EQ(time_->getLong(L"Number"), 123045);
    EXPECT_EQ(std::count(time_->changes().begin(), time_->changes().end(), 18), 1);
    time_->putLong(L"ErrorBeep", 0);

    // Shift+Delete cuts: the selected digits go to the clipboard and turn into prompts.
    time_->putLong(L"ClipMode", 0);
    select(6, 2);
    setModifiers(true, false);
    press(VK_DELETE);
    setModifiers(false, false);
    EXPECT_EQ(clipboard(), "45");
    EXPECT_EQ(shown(), "12:30:__");
    SendMessageA(window_, WM_CUT, 0, 0);
    time_->putLong(L"ReadOnly", -1);
    select(0, 2);
    SendMessageA(window_, WM_CLEAR, 0, 0);
    EXPECT_EQ(shown(), "12:30:__"); // ReadOnly keeps it
}

TEST_F(Editing, CaretKeysAndTheShiftSelection) {
    start(L"hh:mm:ss", 123045);
    press(VK_END);
    EXPECT_EQ(time_->getLong(L"SelStart"), 8);
    press(VK_LEFT);
    EXPECT_EQ(time_->getLong(L"SelStart"), 7);
    press(VK_LEFT);
    press(VK_LEFT);
    EXPECT_EQ(time_->getLong(L"SelStart"), 4); // over the ":"
    press(VK_HOME);
    press(VK_RIGHT);
    press(VK_RIGHT);
    EXPECT_EQ(time_->getLong(L"SelStart"), 3);
    // Shift+Left with nothing selected takes in the character at the caret.
    setModifiers(true, false);
    press(VK_LEFT);
    setModifiers(false, false);
    EXPECT_EQ(time_->getLong(L"SelLength"), 1);
    EXPECT_EQ(getText(L"SelText"), L"3");
    EXPECT_EQ(time_->getLong(L"SelStart"), 3);
}

TEST_F(Editing, FocusPlacesTheCaretByCursorPositionAndHighlightText) {
    time_->putLong(L"CursorPosition", 3);
    time_->putLong(L"HighlightText", 1);
    start(L"hh:mm:ss", 123045);
    EXPECT_EQ(time_->getLong(L"SelStart"), 3);
    EXPECT_EQ(time_->getLong(L"SelLength"), 2);
    EXPECT_EQ(ImmGetContext(window_), nullptr); // no composed input while editing
    blur();
    time_->putLong(L"HighlightText", 2);
    focus();
    EXPECT_EQ(time_->getLong(L"SelLength"), 8);
}

// Leaving the control: a failed check puts the focus-entry time back with InvalidRange alone; Change
// is only for a commit that changed the text, and the bound field follows the time left behind.
struct Leaving {
    const char* what;
    long entry;         // the time when the focus arrives
    const char* before; // keys before typing: "clear" (KeyClear), "delete all", "" (none)
    const char* typed;
    std::vector<DISPID> events; // from the first key on
    bool bound;                 // BindField written when the focus left
    long number;                // after leaving
};

TEST_F(Editing, LeavingChecksTheTimeAndAnnouncesOnlyRealChanges) {
    const Leaving cases[] = {
        {"below MinTime, put back", 123045, "", "04", {kInvalidRange}, false, 123045},
        {"below MinTime after a commit", 123045, "", "7<<04", {kChange, kInvalidRange}, true, 123045},
        {"half-typed after KeyClear", 123045, "clear", "1", {kInvalidRange}, false, 123045},
        {"half-typed into an empty control", 999999, "", "1", {kInvalidRange}, false, 999999},
        {"emptied, no complaint", 123045, "delete all", "", {}, true, 999999},
        {"a changed commit", 123045, "", "11", {kChange}, false, 113045},
    };
    ASSERT_EQ(time_->putLong(L"MinTime", 50000), S_OK);
    for (const Leaving& c : cases) {
        SCOPED_TRACE(c.what);
        start(L"hh:mm:ss", c.entry);
        if (std::string(c.before) == "clear") press(VK_F2);
        if (std::string(c.before) == "delete all") {
            select(0, 8);
            press(VK_DELETE);
        }
        select(0, 0);
        for (const char* key = c.typed; *key; ++key) {
            if (*key == '<') {
                press(VK_LEFT);
            } else { // as the message loop delivers a digit: its key-down, then its character
                SendMessageA(window_, WM_KEYDOWN, static_cast<WPARAM>(*key), 1);
                type(std::string(1, *key).c_str());
            }
        }
        time_->clearChanges();
        blur();
        EXPECT_EQ(timeEvents(), c.events);
        const auto& changes = time_->changes();
        EXPECT_EQ(std::count(changes.begin(), changes.end(), 18) > 0, c.bound);
        EXPECT_EQ(time_->getLong(L"Number"), c.number);
    }
}

// A step of the edit base's spin button is a committed edit: Change, and the bound field follows.
TEST_F(Editing, SpinStepCommitsAsTypingDoes) {
    IPersistPropertyBag* persist = time_->as<IPersistPropertyBag>(IID_IPersistPropertyBag);
    vxtest::PropertyBag bag;
    ASSERT_EQ(persist->Save(&bag, FALSE, TRUE), S_OK);
    VARIANT on;
    V_VT(&on) = VT_BOOL;
    V_BOOL(&on) = VARIANT_TRUE;
    bag.set(L"SpinButton", on);
    ASSERT_EQ(persist->Load(&bag, nullptr), S_OK);
    persist->Release();
    start(L"hh:mm:ss", 235959);
    select(7, 0);
    time_->clearChanges();
    SendMessageA(window_, WM_VSCROLL, SB_LINEUP, 0);
    EXPECT_EQ(shown(), "00:00:00"); // the second carries into the minute and the hour
    EXPECT_EQ(time_->getLong(L"Number"), 0);
    EXPECT_EQ(timeEvents(), std::vector<DISPID>{kChange});
    EXPECT_EQ(std::count(time_->changes().begin(), time_->changes().end(), 18), 1);
}

TEST_F(Editing, MouseSelectionAndDoubleClick) {
    start(L"hh:mm:ss", 123045);
    SendMessageA(window_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(150, 10)); // past the text
    SendMessageA(window_, WM_LBUTTONUP, 0, MAKELPARAM(150, 10));
    EXPECT_EQ(time_->getLong(L"SelStart"), 8);
    time_->clearEvents();
    SendMessageA(window_, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(4, 10));
    SendMessageA(window_, WM_LBUTTONUP, 0, MAKELPARAM(4, 10));
    bool doubleClick = false;
    for (const auto& event : time_->events())
        doubleClick = doubleClick || event.dispid == DISPID_DBLCLICK;
    EXPECT_TRUE(doubleClick);
}

TEST_F(Editing, RefusedLimitsAndPromptCharacters) {
    start(L"hh:mm:ss", 120000);
    // Raising the time to a limit that is no time of day would show a minute of 70.
    EXPECT_EQ(time_->putLong(L"MinTime", 7000), kInvalidPropertyValue);
    EXPECT_EQ(time_->getLong(L"MinTime"), 0);
    EXPECT_EQ(time_->putLong(L"MaxTime", 126000), kInvalidPropertyValue);
    // A prompt character the user's code page cannot hold would read back as "?".
    EXPECT_EQ(putText(L"PromptChar", L"\u65e5"), kInvalidPropertyValue);
    EXPECT_EQ(getText(L"PromptChar"), L"_");
    ASSERT_EQ(putText(L"PromptChar", L"#"), S_OK);
    ASSERT_EQ(time_->putLong(L"Number", 999999), S_OK);
    EXPECT_EQ(shown(), "##:##:##"); // the window follows the property while editing
}

} // namespace
