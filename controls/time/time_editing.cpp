// Editing the time in the control's window while it has the focus: the edit-field superclass, the
// keyboard, the mouse, the clipboard, focus entry and exit, and the events they raise. What a key
// does to the time is decided by the core's keystrokes; this file reads the edit field's selection,
// applies the answer to the window and tells the container.
#include "ansi_text.h"
#include "edit_selection.h"
#include "key_player.h"
#include "strings.h"
#include "system_locale.h"
#include "time_control.h"

#include <windowsx.h>

namespace timectl {

using vxtime::Keystroke;
using vxtime::Selection;

namespace {

const UINT kValidateMessage = WM_USER + 0x101;
const UINT kReflectedColorEdit = 0x2000 + WM_CTLCOLOREDIT;
const DISPID kEventInvalidInput = 1;
const DISPID kEventInvalidRange = 2;
const DISPID kEventChange = 3;
const DISPID kDispidBindField = 18;
const DISPID kDispidNumber = 29;
const DISPID kDispidSelLength = 32;
const DISPID kDispidSelStart = 33;
const DISPID kDispidSelText = 34;

// The system EDIT procedure, read once when the superclass is registered.
WNDPROC g_editProcedure = nullptr;

COLORREF translate(OLE_COLOR color) {
    COLORREF rgb = 0;
    if (FAILED(OleTranslateColor(color, nullptr, &rgb))) rgb = 0;
    return rgb;
}

std::uint16_t modifierBits() {
    std::uint16_t bits = 0;
    if (GetKeyState(VK_SHIFT) < 0) bits |= vxtime::kShiftBit;
    if (GetKeyState(VK_CONTROL) < 0) bits |= vxtime::kCtrlBit;
    if (GetKeyState(VK_MENU) < 0) bits |= vxtime::kAltBit;
    return bits;
}

// Shift and Ctrl are let go of in the keyboard state, so that the key the control sends on in their
// place (Tab) is not read as Shift+Tab or Ctrl+Tab.
void releaseShiftAndCtrl() {
    BYTE state[256];
    if (!GetKeyboardState(state)) return;
    for (int key : {VK_SHIFT, VK_LSHIFT, VK_RSHIFT, VK_CONTROL, VK_LCONTROL, VK_RCONTROL})
        state[key] &= 0x7F;
    SetKeyboardState(state);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The window: a superclass of EDIT

void TimeControl::describeWindowClass(WNDCLASSA& windowClass) {
    WNDCLASSA edit = {};
    if (!::GetClassInfoA(nullptr, "EDIT", &edit)) return;
    g_editProcedure = edit.lpfnWndProc;
    windowClass = edit;
}

LRESULT TimeControl::defaultProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_editProcedure) return CallWindowProcA(g_editProcedure, window, message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT TimeControl::callEdit(UINT message, WPARAM wParam, LPARAM lParam) {
    return defaultProcedure(controlWindow(), message, wParam, lParam);
}

// The edit field shows the edit text only while the running control has the focus; otherwise the
// control draws the display text itself.
bool TimeControl::editing() {
    return hasFocus_ && userMode();
}

bool TimeControl::paintsWindow() {
    return !editing();
}

LRESULT TimeControl::editColors(HDC dc) {
    SetTextColor(dc, translate(look_.foreColor));
    SetBkColor(dc, translate(look_.backColor));
    if (backBrush_) DeleteObject(backBrush_);
    backBrush_ = CreateSolidBrush(translate(look_.backColor));
    return reinterpret_cast<LRESULT>(backBrush_);
}

LRESULT TimeControl::onMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    switch (message) {
    case WM_NCCREATE: {
        // Text wider than the field scrolls instead of being cut off.
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        create->style |= ES_AUTOHSCROLL;
        SetWindowLongA(controlWindow(), GWL_STYLE,
                       GetWindowLongA(controlWindow(), GWL_STYLE) | ES_AUTOHSCROLL);
        return callEdit(message, wParam, lParam);
    }
    case WM_SETFOCUS: {
        const LRESULT result = callEdit(message, wParam, lParam);
        onFocusEntry();
        return result;
    }
    case WM_KILLFOCUS: {
        const LRESULT result = callEdit(message, wParam, lParam);
        onFocusExit();
        return result;
    }
    case kValidateMessage:
        validateAfterFocusLoss();
        return 0;
    case WM_PAINT: {
        // The edit field paints the text; the border is the control's own.
        const LRESULT result = callEdit(message, wParam, lParam);
        HDC dc = GetDC(controlWindow());
        RECT client;
        GetClientRect(controlWindow(), &client);
        drawBorder(dc, editArea(client));
        drawCaption(dc, client);
        ReleaseDC(controlWindow(), dc);
        return result;
    }
    case WM_CTLCOLOREDIT:
    case kReflectedColorEdit:
        return editColors(reinterpret_cast<HDC>(wParam));
    case WM_KEYDOWN:
        // In a designer the field is not edited at all.
        if (!userMode() || onKeyDown(wParam)) return 0;
        break;
    case WM_CHAR:
        if (userMode()) onCharacter(wParam);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE: {
        const LRESULT result = callEdit(message, wParam, lParam);
        if (message != WM_MOUSEMOVE || (wParam & MK_LBUTTON)) {
            selection_ = selection();
            reshapeCaret();
        }
        return result;
    }
    case WM_COPY:
        copySelection();
        return 0;
    case WM_CUT:
        if (editing()) cutSelection();
        return 0;
    case WM_CLEAR:
        if (editing()) clearSelection();
        return 0;
    case WM_PASTE: // the time is typed, never pasted
    case WM_UNDO:
    case EM_UNDO:
        return 0;
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_COMPOSITION:
    case WM_IME_CHAR:
        return 0;
    case WM_VSCROLL:
        // The spin button of the edit base steps the field at the caret.
        if (look_.spinButton && (LOWORD(wParam) == SB_LINEUP || LOWORD(wParam) == SB_LINEDOWN)) {
            spinStep(LOWORD(wParam) == SB_LINEUP ? 1 : -1);
            return 0;
        }
        break;
    default:
        break;
    }
    handled = false;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Window text, selection and caret

Selection TimeControl::selection() {
    HWND window = controlWindow();
    if (!window) return selection_;
    DWORD start = 0, end = 0;
    SendMessageA(window, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {static_cast<int>(start), static_cast<int>(end) - static_cast<int>(start)};
}

void TimeControl::select(Selection selection) {
    selection_ = selection;
    HWND window = controlWindow();
    if (!window || !editing()) return;
    SendMessageA(window, EM_SETSEL, selection.start, selection.start + selection.length);
    reshapeCaret();
    SendMessageA(window, EM_SCROLLCARET, 0, 0);
}

// A block over the character at the caret shows which digit the next key overwrites; at the end
// of the text a thin line, thicker for large fonts; with a selection only the highlight.
void TimeControl::reshapeCaret() {
    HWND window = controlWindow();
    if (!window || GetFocus() != window) return;
    const Selection current = selection();
    if (current.length > 0) {
        HideCaret(window);
        return;
    }
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(window, WM_GETFONT, 0, 0)));
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    const std::string& text = model_.editText();
    int width = 0;
    if (current.start < static_cast<int>(text.size())) {
        const int length =
            static_cast<int>(vxtime::charLength(text, current.start, model_.locale().leadBytes));
        SIZE size = {};
        GetTextExtentPoint32A(dc, text.data() + current.start, length, &size);
        width = size.cx;
    } else {
        const int points =
            MulDiv(metrics.tmHeight - metrics.tmInternalLeading, 72, GetDeviceCaps(dc, LOGPIXELSY));
        width = points >= 11 ? 2 : 1;
    }
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    CreateCaret(window, nullptr, width, metrics.tmHeight);
    ShowCaret(window);
}

void TimeControl::showEditText() {
    HWND window = controlWindow();
    if (!window || !editing()) return;
    char current[256] = {};
    GetWindowTextA(window, current, sizeof current);
    if (model_.editText() != current) SetWindowTextA(window, model_.editText().c_str());
    select(selection_);
}

// ---------------------------------------------------------------------------------------------
// Focus

void TimeControl::onFocusEntry() {
    if (!userMode()) return;
    hasFocus_ = true;
    HWND window = controlWindow();
    // The time is typed key by key: no composed input reaches it.
    detachedContext_ = ImmAssociateContext(window, nullptr);
    HFONT handle = nullptr;
    if (font()) font()->get_hFont(&handle);
    if (handle) SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(handle), FALSE);
    RECT client;
    GetClientRect(window, &client);
    client = editArea(client);
    const int frame = look_.borderStyle == 1 ? (look_.appearance == 1 ? 2 : 1) : 0;
    RECT text = {client.left + frame + look_.marginLeft, client.top + frame + look_.marginTop,
                 client.right - frame - look_.marginRight, client.bottom - frame - look_.marginBottom};
    SendMessageA(window, EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&text));
    model_.beginEdit();
    lastKeyGroup_ = -1;
    SetWindowTextA(window, model_.editText().c_str());
    select(vxtime::focusSelection(model_, look_.cursorPosition, look_.highlightText));
    InvalidateRect(window, nullptr, TRUE);
}

void TimeControl::onFocusExit() {
    if (!hasFocus_) return;
    HWND window = controlWindow();
    const Selection current = selection();
    SendMessageA(window, EM_SETSEL, current.start, current.start);
    selection_ = {current.start, 0};
    hasFocus_ = false;
    ImmAssociateContext(window, detachedContext_);
    detachedContext_ = nullptr;
    // Checked once the focus has settled, so a handler of InvalidRange may move it again.
    PostMessageA(window, kValidateMessage, 0, 0);
    InvalidateRect(window, nullptr, TRUE);
}

void TimeControl::validateAfterFocusLoss() {
    if (!model_.finishEdit()) {
        if (look_.errorBeep) MessageBeep(0xFFFFFFFF);
        const std::int32_t held = model_.number();
        const std::string shown = model_.editText();
        fireEvent(kEventInvalidRange, nullptr, 0);
        if (model_.number() == held && model_.editText() == shown) model_.restoreEntryTime();
    }
    // Leaving commits nothing of its own and so fires no Change; but when the time left behind is
    // not the one last committed (emptied, or put back after a commit), the bound field follows it.
    if (model_.noteCommit()) pushBinding();
    HWND window = controlWindow();
    if (!window) return;
    if (GetFocus() == window && userMode()) {
        hasFocus_ = true;
        SetWindowTextA(window, model_.editText().c_str());
        select(vxtime::focusSelection(model_, look_.cursorPosition, look_.highlightText));
    } else {
        SetWindowTextA(window, model_.editText().c_str());
    }
    invalidate();
}

// ---------------------------------------------------------------------------------------------
// The accelerator stage

STDMETHODIMP TimeControl::TranslateAccelerator(LPMSG message) {
    HWND window = controlWindow();
    if (!message || !window || !isInPlaceActive()) return S_FALSE;
    const bool down = message->message == WM_KEYDOWN;
    if (down || message->message == WM_KEYUP) {
        const WPARAM key = message->wParam;
        if (down) {
            const int group = keys_.match(static_cast<std::uint32_t>(key), modifierBits());
            if (group == static_cast<int>(vxtime::KeyGroup::Next)) {
                lastKeyGroup_ = group;
                releaseShiftAndCtrl();
                PostMessageA(window, WM_KEYDOWN, VK_TAB, 0);
                return S_OK;
            }
            if (group == static_cast<int>(vxtime::KeyGroup::Previous)) {
                lastKeyGroup_ = group;
                releaseShiftAndCtrl();
                playKeys("+{TAB}");
                return S_OK;
            }
        }
        // The arrows edit the time; the container must not take them for moving between controls.
        if (key >= VK_LEFT && key <= VK_DOWN) {
            SendMessageA(window, message->message, message->wParam, message->lParam);
            return S_OK;
        }
    }
    return S_FALSE;
}

// ---------------------------------------------------------------------------------------------
// Keys

// Answers true when the key is consumed; false lets the edit field have it.
bool TimeControl::onKeyDown(WPARAM key) {
    HWND window = controlWindow();
    const std::uint16_t modifiers = modifierBits();
    lastKeyGroup_ = -1;
    escapeTaken_ = false;
    if (key == VK_ESCAPE && modifiers == 0 && keys_.match(VK_ESCAPE, 0) < 0) {
        restoreAtEscape();
        escapeTaken_ = true; // and so is the character the message loop makes of it
        return true;
    }
    if ((key == VK_DELETE && (modifiers & vxtime::kCtrlBit)) ||
        (key == VK_INSERT && modifiers == vxtime::kShiftBit))
        return true;
    if (GetFocus() != window || !hasFocus_) return true;

    lastKeyGroup_ = keys_.match(static_cast<std::uint32_t>(key), modifiers);
    if (lastKeyGroup_ == static_cast<int>(vxtime::KeyGroup::Clear)) {
        ClearControl();
        select({vxtime::firstFieldStart(model_), 0});
        return true;
    }
    if (lastKeyGroup_ == static_cast<int>(vxtime::KeyGroup::Now)) {
        if (!look_.readOnly) {
            model_.setCurrentTime(currentClockNumber());
            propertyChanged(kDispidNumber);
            showEditText();
        }
        return true;
    }
    if (lastKeyGroup_ >= 0) return true;

    selection_ = selection();
    if (modifiers != 0) {
        if (key == VK_DELETE && modifiers == vxtime::kShiftBit) {
            cutSelection();
            return true;
        }
        if (modifiers == vxtime::kShiftBit && selection_.length == 0 &&
            (key == VK_HOME || key == VK_LEFT || key == VK_UP))
            SendMessageA(window, EM_SETSEL, vxtime::shiftSelectionStart(model_, selection_.start),
                         vxtime::shiftSelectionStart(model_, selection_.start));
        callEdit(WM_KEYDOWN, key, 0);
        selection_ = selection();
        reshapeCaret();
        return true;
    }
    switch (key) {
    case VK_HOME:
        select({vxtime::moveCaret(model_, vxtime::CaretKey::Home, selection_), 0});
        return true;
    case VK_END:
        select({vxtime::moveCaret(model_, vxtime::CaretKey::End, selection_), 0});
        return true;
    case VK_LEFT:
    case VK_UP:
        select({vxtime::moveCaret(model_, vxtime::CaretKey::Left, selection_), 0});
        return true;
    case VK_RIGHT:
    case VK_DOWN:
        select({vxtime::moveCaret(model_, vxtime::CaretKey::Right, selection_), 0});
        return true;
    case VK_DELETE:
        if (!look_.readOnly) clearSelection();
        return true;
    default:
        return false;
    }
}

void TimeControl::onCharacter(WPARAM character) {
    const bool matchedKey = lastKeyGroup_ >= 0;
    lastKeyGroup_ = -1;
    const bool escapeCharacter = escapeTaken_ && character == VK_ESCAPE;
    escapeTaken_ = false;
    if (escapeCharacter) return;
    const bool copy = character == 3; // Ctrl+C
    if (matchedKey || look_.readOnly || !editing()) {
        if (copy)
            copySelection();
        else if (!matchedKey && !look_.readOnly)
            refuseKeystroke();
        return;
    }
    selection_ = selection();
    if (character >= 32 && character <= 0xFF) {
        const vxtime::KeyAnswer answer = vxtime::typeCharacter(
            model_, selection_, static_cast<char>(static_cast<unsigned char>(character)));
        selection_ = answer.selection;
        showEditText();
        finishKeystroke(answer.result);
        return;
    }
    switch (character) {
    case 3:
        copySelection();
        return;
    case VK_BACK: {
        const vxtime::KeyAnswer answer = vxtime::backspace(model_, selection_);
        selection_ = answer.selection;
        showEditText();
        finishKeystroke(answer.result);
        return;
    }
    case 24: // Ctrl+X
        cutSelection();
        return;
    default: // Ctrl+V among them: the time is typed, never pasted
        refuseKeystroke();
        return;
    }
}

void TimeControl::refuseKeystroke() {
    if (look_.errorBeep) MessageBeep(0xFFFFFFFF);
    fireEvent(kEventInvalidInput, nullptr, 0);
}

void TimeControl::finishKeystroke(Keystroke result) {
    if (result == Keystroke::Refused) {
        refuseKeystroke();
        return;
    }
    if (result != Keystroke::Accepted || !model_.commitEdit()) return;
    pushBinding();
    if (model_.noteCommit()) fireEvent(kEventChange, nullptr, 0);
}

void TimeControl::pushBinding() {
    VariantClear(&bindField_);
    if (look_.dataProperty == 1) {
        V_VT(&bindField_) = VT_I4;
        V_I4(&bindField_) = model_.number();
    } else if (auto fraction = model_.value()) {
        V_VT(&bindField_) = VT_R8;
        V_R8(&bindField_) = *fraction;
    }
    propertyChanged(kDispidBindField);
}

void TimeControl::restoreAtEscape() {
    const std::int32_t entry = model_.entryNumber();
    VARIANT number;
    V_VT(&number) = VT_I4;
    V_I4(&number) = entry;
    put_Number(number);
    // Escape undoes the edit, not a commit made in it: a data source that took the committed
    // time must get the restored one back.
    if (model_.noteCommit()) pushBinding();
    selection_ = vxtime::focusSelection(model_, look_.cursorPosition, look_.highlightText);
    showEditText();
}

// ---------------------------------------------------------------------------------------------
// Clipboard and deleting

void TimeControl::copySelection() {
    const Selection current = editing() ? selection() : selection_;
    const std::string text = vxtime::copyText(model_.layout(), model_.editText(), current.start,
                                              current.length, look_.clipMode == 1);
    if (text.empty() || !OpenClipboard(controlWindow())) return;
    EmptyClipboard();
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
        char* target = static_cast<char*>(GlobalLock(memory));
        memcpy(target, text.c_str(), text.size() + 1);
        GlobalUnlock(memory);
        if (!SetClipboardData(CF_TEXT, memory)) GlobalFree(memory);
    }
    CloseClipboard();
}

void TimeControl::commitDeletion() {
    showEditText();
    finishKeystroke(Keystroke::Accepted);
}

void TimeControl::cutSelection() {
    if (look_.readOnly) return;
    copySelection();
    clearSelection();
}

void TimeControl::clearSelection() {
    if (look_.readOnly) return;
    const Selection current = editing() ? selection() : selection_;
    selection_ = {vxtime::deleteSelection(model_, current), 0};
    commitDeletion();
}

void TimeControl::spinStep(int direction) {
    const Selection current = selection();
    if (look_.readOnly || current.length != 0) return;
    if (!vxtime::spinField(model_, current.start, direction)) return;
    selection_ = current;
    showEditText();
    // A step is a committed edit: the bound field follows it as it follows typing.
    if (!model_.noteCommit()) return;
    pushBinding();
    fireEvent(kEventChange, nullptr, 0);
}

// ---------------------------------------------------------------------------------------------
// Selection and key properties

STDMETHODIMP TimeControl::get_SelStart(short* value) {
    if (!value) return E_POINTER;
    *value = static_cast<short>(editing() ? selection().start : selection_.start);
    return S_OK;
}

STDMETHODIMP TimeControl::put_SelStart(short value) {
    selection_ = {vxtime::clampSelStart(model_.editText(), value, model_.locale().leadBytes), 0};
    select(selection_);
    propertyChanged(kDispidSelStart);
    return S_OK;
}

STDMETHODIMP TimeControl::get_SelLength(short* value) {
    if (!value) return E_POINTER;
    *value = static_cast<short>(editing() ? selection().length : selection_.length);
    return S_OK;
}

STDMETHODIMP TimeControl::put_SelLength(short value) {
    const int start = editing() ? selection().start : selection_.start;
    selection_ = {start, vxtime::clampSelLength(model_.editText(), start, value, model_.locale().leadBytes)};
    select(selection_);
    propertyChanged(kDispidSelLength);
    return S_OK;
}

STDMETHODIMP TimeControl::get_SelText(BSTR* value) {
    const Selection current = editing() ? selection() : selection_;
    const std::string& text = model_.editText();
    const int size = static_cast<int>(text.size());
    const int start = std::min(std::max(current.start, 0), size);
    const int length = std::min(std::max(current.length, 0), size - start);
    return toBstr(std::string_view(text).substr(start, length), value);
}

STDMETHODIMP TimeControl::put_SelText(BSTR value) {
    const Selection current = editing() ? selection() : selection_;
    const HRESULT hr =
        settle(model_.setSelText(current.start, current.length, toAnsi(value)), kDispidSelText);
    showEditText();
    return hr;
}

HRESULT TimeControl::getKeys(vxtime::KeyGroup group, BSTR* value) {
    return toBstr(keyTexts_[static_cast<int>(group)], value);
}

HRESULT TimeControl::putKeys(vxtime::KeyGroup group, BSTR value, DISPID dispid) {
    const std::string text = toAnsi(value);
    if (!keys_.assign(group, text)) return refuse(framework::kStringInvalidValue);
    keyTexts_[static_cast<int>(group)] = text;
    propertyChanged(dispid);
    return S_OK;
}

STDMETHODIMP TimeControl::get_BindField(VARIANT* value) {
    if (!value) return E_POINTER;
    VariantInit(value);
    return VariantCopy(value, &bindField_);
}

// The data source hands the control its field: Number or Value, as DataProperty says.
STDMETHODIMP TimeControl::put_BindField(VARIANT value) {
    VARIANT plain;
    VariantInit(&plain);
    if (FAILED(VariantCopyInd(&plain, &value))) return refuse(framework::kStringInvalidValue);
    HRESULT hr = S_OK;
    if (V_VT(&plain) == VT_EMPTY || V_VT(&plain) == VT_NULL) {
        model_.clear();
    } else if (look_.dataProperty == 1) {
        VARIANT number;
        VariantInit(&number);
        hr = SUCCEEDED(VariantChangeType(&number, &plain, 0, VT_I4))
                 ? settle(model_.setNumber(V_I4(&number)), 29)
                 : refuse(framework::kStringInvalidValue);
    } else {
        VARIANT fraction;
        VariantInit(&fraction);
        hr = SUCCEEDED(VariantChangeType(&fraction, &plain, 0, VT_R8))
                 ? settle(model_.setValue(V_R8(&fraction)), 36)
                 : refuse(framework::kStringInvalidValue);
    }
    if (SUCCEEDED(hr)) {
        VariantClear(&bindField_);
        VariantCopy(&bindField_, &plain);
        propertyChanged(kDispidBindField);
        showEditText();
    }
    VariantClear(&plain);
    return hr;
}

} // namespace timectl
