// Saving and loading the time control through the framework's bags, streams and storages. The
// bag names every property; the stream has a layout of its own (the control's block, the strings,
// the edit base's block, the caption and the spin setting) whose every value has a fixed width,
// so the 32- and 64-bit builds read each other's streams.
#include "time_control.h"

#include <climits>
#include <cstring>

#include "edit_selection.h"

namespace timectl {

using framework::FieldKind;
using framework::StreamReader;
using framework::StreamWriter;

namespace {

const int kBoundVariantSize = 16;

// The bound value is stored as its type and eight bytes of data: the layout of a 32-bit VARIANT,
// whatever the width of this build's. Only values that live in those eight bytes are kept.
bool storableBound(VARTYPE type) {
    switch (type) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BOOL:
        return true;
    default:
        return false;
    }
}

HRESULT writeBound(StreamWriter& out, VARIANT& bound) {
    BYTE bytes[kBoundVariantSize] = {};
    VARIANT plain;
    VariantInit(&plain);
    if (storableBound(V_VT(&bound)))
        VariantCopy(&plain, &bound);
    else if (FAILED(VariantChangeType(&plain, &bound, 0, VT_R8)))
        V_VT(&plain) = VT_EMPTY;
    const VARTYPE type = V_VT(&plain);
    memcpy(bytes, &type, sizeof type);
    memcpy(bytes + 8, &V_UI8(&plain), 8);
    return out.bytes(bytes, sizeof bytes);
}

HRESULT readBound(StreamReader& in, VARIANT& bound) {
    BYTE bytes[kBoundVariantSize];
    HRESULT hr = in.bytes(bytes, sizeof bytes);
    if (FAILED(hr)) return hr;
    VARTYPE type;
    memcpy(&type, bytes, sizeof type);
    if (!storableBound(type)) return E_UNEXPECTED;
    VariantClear(&bound);
    V_VT(&bound) = type;
    memcpy(&V_UI8(&bound), bytes + 8, 8);
    return S_OK;
}

bool within(long value, long lowest, long highest) {
    return value >= lowest && value <= highest;
}

class Writing {
public:
    explicit Writing(StreamWriter& out) : out_(out) {}
    Writing& i16(short value) { return step(out_.i16(value)); }
    Writing& i32(LONG value) { return step(out_.i32(value)); }
    Writing& f64(double value) { return step(out_.f64(value)); }
    Writing& text(const std::string& value) { return step(out_.text(value)); }
    Writing& bytes(const void* data, ULONG size) { return step(out_.bytes(data, size)); }
    Writing& step(HRESULT hr) {
        if (SUCCEEDED(hr_)) hr_ = hr;
        return *this;
    }
    HRESULT result() const { return hr_; }
    bool ok() const { return SUCCEEDED(hr_); }

private:
    StreamWriter& out_;
    HRESULT hr_ = S_OK;
};

// Reads in sequence; the first failure, or a value outside its range, stops everything after it.
class Reading {
public:
    explicit Reading(StreamReader& in) : in_(in) {}
    Reading& i16(short& value, long lowest = SHRT_MIN, long highest = SHRT_MAX) {
        if (ok()) {
            hr_ = in_.i16(value);
            if (ok() && !within(value, lowest, highest)) hr_ = E_UNEXPECTED;
        }
        return *this;
    }
    Reading& i32(LONG& value) {
        if (ok()) hr_ = in_.i32(value);
        return *this;
    }
    Reading& boolean(BOOL& value) {
        LONG stored = 0;
        i32(stored);
        if (ok()) value = stored != 0;
        return *this;
    }
    Reading& f64(double& value) {
        if (ok()) hr_ = in_.f64(value);
        return *this;
    }
    Reading& text(std::string& value) {
        if (ok()) hr_ = in_.text(value);
        return *this;
    }
    Reading& bytes(void* data, ULONG size) {
        if (ok()) hr_ = in_.bytes(data, size);
        return *this;
    }
    Reading& step(HRESULT hr) {
        if (ok()) hr_ = hr;
        return *this;
    }
    HRESULT result() const { return hr_; }
    bool ok() const { return SUCCEEDED(hr_); }

private:
    StreamReader& in_;
    HRESULT hr_ = S_OK;
};

bool presentInBag(IPropertyBag* bag, const wchar_t* name, IErrorLog* log) {
    VARIANT value;
    VariantInit(&value);
    const bool present = SUCCEEDED(bag->Read(name, &value, log));
    VariantClear(&value);
    return present;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The control's state in and out of the stored form

void TimeControl::resetHeldValues() {
    stored_.blockWord = 1;
    memset(stored_.reserved, 0, sizeof stored_.reserved);
    stored_.reservedText.clear();
    stored_.alignVertical = 0;
    stored_.dropdownButton = FALSE;
}

void TimeControl::capture() {
    StoredControl& s = stored_;
    s.errorBeep = look_.errorBeep;
    s.readOnly = look_.readOnly;
    s.alignHorizontal = look_.alignHorizontal;
    s.clipMode = look_.clipMode;
    s.cursorPosition = look_.cursorPosition;
    s.dataProperty = look_.dataProperty;
    s.highlightText = look_.highlightText;
    const vxtime::Selection current = editing() ? selection() : selection_;
    s.selStart = static_cast<short>(current.start);
    s.selLength = static_cast<short>(current.length);
    s.maxTime = model_.maxTime();
    s.minTime = model_.minTime();
    s.number = model_.number();
    s.value = model_.value().value_or(0.0);
    VariantClear(&s.bound);
    VariantCopy(&s.bound, &bindField_);

    s.format = model_.format();
    s.displayFormat = model_.displayFormat();
    s.displayFormatStored = true;
    s.keyClear = keyTexts_[static_cast<int>(vxtime::KeyGroup::Clear)];
    s.keyNext = keyTexts_[static_cast<int>(vxtime::KeyGroup::Next)];
    s.keyNow = keyTexts_[static_cast<int>(vxtime::KeyGroup::Now)];
    s.keyPrevious = keyTexts_[static_cast<int>(vxtime::KeyGroup::Previous)];
    s.promptChar = std::string(1, model_.promptChar());
    s.text = model_.editText();

    s.appearance = look_.appearance;
    s.borderStyle = look_.borderStyle;
    s.marginBottom = look_.marginBottom;
    s.marginLeft = look_.marginLeft;
    s.marginRight = look_.marginRight;
    s.marginTop = look_.marginTop;
    s.enabled = look_.enabled;
    s.backColor = look_.backColor;
    s.foreColor = look_.foreColor;
    s.spinButton = look_.spinButton;
    s.spinAutowrap = look_.spinAutowrap;

    s.caption = caption_->state();
    if (s.captionFont) s.captionFont->Release();
    s.captionFont = caption_->font();
    if (s.captionFont) s.captionFont->AddRef();
}

// After a load: the keys are parsed again, the Format applied and the text rebuilt from the time.
void TimeControl::afterLoad() {
    const StoredControl& s = stored_;
    look_.errorBeep = s.errorBeep;
    look_.readOnly = s.readOnly;
    look_.alignHorizontal = s.alignHorizontal;
    look_.clipMode = s.clipMode;
    look_.cursorPosition = s.cursorPosition;
    look_.dataProperty = s.dataProperty;
    look_.highlightText = s.highlightText;
    look_.appearance = s.appearance;
    look_.borderStyle = s.borderStyle;
    look_.marginBottom = s.marginBottom;
    look_.marginLeft = s.marginLeft;
    look_.marginRight = s.marginRight;
    look_.marginTop = s.marginTop;
    look_.enabled = s.enabled;
    look_.backColor = s.backColor;
    look_.foreColor = s.foreColor;
    look_.spinButton = s.spinButton;
    look_.spinAutowrap = s.spinAutowrap;

    vxtime::StoredTime time;
    time.format = s.format;
    if (s.displayFormatStored) time.displayFormat = s.displayFormat;
    time.promptChar = s.promptChar;
    time.minTime = s.minTime;
    time.maxTime = s.maxTime;
    time.number = s.number;
    model_.restore(time);

    restoreKeys();
    const std::string& text = model_.editText();
    const int start = vxtime::clampSelStart(text, s.selStart, model_.locale().leadBytes);
    selection_ = {start, vxtime::clampSelLength(text, start, s.selLength, model_.locale().leadBytes)};
    VariantClear(&bindField_);
    VariantCopy(&bindField_, &stored_.bound);

    caption_->state() = s.caption;
    caption_->setFont(s.captionFont);
    if (HWND window = controlWindow()) EnableWindow(window, userMode() ? look_.enabled : TRUE);
    showEditText();
}

// Keys that do not parse, or that another group already holds, leave their group without keys.
void TimeControl::restoreKeys() {
    const StoredControl& s = stored_;
    const std::pair<vxtime::KeyGroup, const std::string*> groups[] = {
        {vxtime::KeyGroup::Clear, &s.keyClear},
        {vxtime::KeyGroup::Next, &s.keyNext},
        {vxtime::KeyGroup::Previous, &s.keyPrevious},
        {vxtime::KeyGroup::Now, &s.keyNow},
    };
    keys_ = vxtime::KeyTable();
    for (std::string& text : keyTexts_)
        text.clear();
    for (const auto& [group, text] : groups)
        if (keys_.assign(group, *text)) keyTexts_[static_cast<int>(group)] = *text;
}

// ---------------------------------------------------------------------------------------------
// Property bags

void TimeControl::persistentFields(framework::PersistentFields& fields) {
    capture();
    StoredControl& s = stored_;
    const LONG most = SHRT_MAX;
    fields = {
        {L"AlignHorizontal", FieldKind::Short, &s.alignHorizontal, 0, 2},
        {L"AlignVertical", FieldKind::Short, &s.alignVertical, 0, 2},
        {L"CursorPosition", FieldKind::Short, &s.cursorPosition, 0, 4},
        {L"MaxTime", FieldKind::Long, &s.maxTime},
        {L"MinTime", FieldKind::Long, &s.minTime},
        {L"Number", FieldKind::Long, &s.number},
        {L"Value", FieldKind::Double, &s.value},
        {L"DataProperty", FieldKind::Short, &s.dataProperty, 0, 1},
        {L"ErrorBeep", FieldKind::Bool, &s.errorBeep},
        {L"ReadOnly", FieldKind::Bool, &s.readOnly},
        {L"ClipMode", FieldKind::Short, &s.clipMode, 0, 1},
        {L"HighlightText", FieldKind::Short, &s.highlightText, 0, 2},
        {L"SelStart", FieldKind::Short, &s.selStart, 0, most},
        {L"SelLength", FieldKind::Short, &s.selLength, 0, most},
        {L"Format", FieldKind::Text, &s.format},
        {L"DisplayFormat", FieldKind::Text, &s.displayFormat},
        {L"KeyClear", FieldKind::Text, &s.keyClear},
        {L"KeyNext", FieldKind::Text, &s.keyNext},
        {L"KeyNow", FieldKind::Text, &s.keyNow},
        {L"KeyPrevious", FieldKind::Text, &s.keyPrevious},
        {L"PromptChar", FieldKind::Text, &s.promptChar},
        {L"Text", FieldKind::Text, &s.text},
        {L"Appearance", FieldKind::Short, &s.appearance, 0, 1},
        {L"BackColor", FieldKind::Color, &s.backColor},
        {L"Enabled", FieldKind::Bool, &s.enabled},
        {L"ForeColor", FieldKind::Color, &s.foreColor},
        {L"BorderStyle", FieldKind::Short, &s.borderStyle, 0, 1},
        {L"MarginBottom", FieldKind::Short, &s.marginBottom, 0, 30},
        {L"MarginLeft", FieldKind::Short, &s.marginLeft, 0, 30},
        {L"MarginRight", FieldKind::Short, &s.marginRight, 0, 30},
        {L"MarginTop", FieldKind::Short, &s.marginTop, 0, 30},
        {L"DropdownButton", FieldKind::Bool, &s.dropdownButton},
        {L"SpinButton", FieldKind::Bool, &s.spinButton},
        {L"Caption", FieldKind::Text, &s.caption.text},
        {L"CaptionAlignment", FieldKind::Short, &s.caption.alignment, 0, 8},
        {L"CaptionColor", FieldKind::Color, &s.caption.color},
        {L"CaptionWidth", FieldKind::Short, &s.caption.size, 0, most},
        {L"CaptionPosition", FieldKind::Short, &s.caption.position, 0, 1},
        {L"CaptionSpacing", FieldKind::Short, &s.caption.spacing, 0, most},
        {L"CaptionFont", FieldKind::Font, &s.captionFont},
        {L"SpinAutowrap", FieldKind::Bool, &s.spinAutowrap},
    };
}

// A bag without DisplayFormat shows the Format it holds; one without CaptionFont gives the
// caption the control's font as loaded.
STDMETHODIMP TimeControl::Load(IPropertyBag* bag, IErrorLog* log) {
    if (!bag) return E_POINTER;
    const bool displayFormat = presentInBag(bag, L"DisplayFormat", log);
    const bool captionFont = presentInBag(bag, L"CaptionFont", log);
    HRESULT hr = ControlBase::Load(bag, log);
    if (SUCCEEDED(hr)) {
        if (!displayFormat) model_.setDisplayFormat(model_.format());
        if (!captionFont) caption_->setFont(nullptr);
        invalidate();
    }
    return hr;
}

// ---------------------------------------------------------------------------------------------
// Streams

HRESULT TimeControl::saveBlocks(StreamWriter& out) {
    capture();
    StoredControl& s = stored_;
    Writing w(out);
    w.i32(s.blockWord).i32(s.errorBeep ? 1 : 0).i32(s.readOnly ? 1 : 0);
    w.i16(s.alignHorizontal).i16(s.alignVertical).i16(s.clipMode).i16(s.cursorPosition);
    w.i16(s.dataProperty).i16(s.highlightText);
    w.bytes(s.reserved, sizeof s.reserved).i16(s.selLength).i16(s.selStart);
    w.i32(s.maxTime).i32(s.minTime).i32(s.number).f64(s.value);
    if (w.ok()) w.step(writeBound(out, s.bound));

    for (const std::string* text : {&s.format, &s.displayFormat, &s.keyClear, &s.keyNext, &s.keyNow,
                                    &s.keyPrevious, &s.promptChar, &s.reservedText, &s.text})
        w.text(*text);

    const BYTE none[2] = {};
    w.i16(s.appearance).bytes(none, 2).i32(static_cast<LONG>(s.backColor)).i32(s.enabled ? 1 : 0);
    w.i32(static_cast<LONG>(s.foreColor)).i16(s.borderStyle);
    w.i16(s.marginBottom).i16(s.marginLeft).i16(s.marginRight).i16(s.marginTop).bytes(none, 2);
    w.i32(s.dropdownButton ? 1 : 0).i32(s.spinButton ? 1 : 0);

    w.text(s.caption.text).i16(s.caption.alignment).i32(static_cast<LONG>(s.caption.color));
    w.i16(s.caption.size).i16(s.caption.position).i16(s.caption.spacing);
    if (w.ok()) w.step(out.object(s.captionFont));
    w.i32(s.spinAutowrap ? 1 : 0);
    return w.result();
}

HRESULT TimeControl::loadBlocks(StreamReader& in) {
    StoredControl& s = stored_;
    Reading r(in);
    r.i32(s.blockWord).boolean(s.errorBeep).boolean(s.readOnly);
    r.i16(s.alignHorizontal, 0, 2).i16(s.alignVertical, 0, 2).i16(s.clipMode, 0, 1);
    r.i16(s.cursorPosition, 0, 4).i16(s.dataProperty, 0, 1).i16(s.highlightText, 0, 2);
    r.bytes(s.reserved, sizeof s.reserved).i16(s.selLength, 0).i16(s.selStart, 0);
    r.i32(s.maxTime).i32(s.minTime).i32(s.number).f64(s.value);
    if (r.ok()) r.step(readBound(in, s.bound));
    s.displayFormatStored = true;

    for (std::string* text : {&s.format, &s.displayFormat, &s.keyClear, &s.keyNext, &s.keyNow, &s.keyPrevious,
                              &s.promptChar, &s.reservedText, &s.text})
        r.text(*text);

    BYTE ignored[2];
    LONG back = 0, fore = 0, captionColor = 0;
    r.i16(s.appearance, 0, 1).bytes(ignored, 2).i32(back).boolean(s.enabled).i32(fore);
    r.i16(s.borderStyle, 0, 1).i16(s.marginBottom, 0, 30).i16(s.marginLeft, 0, 30);
    r.i16(s.marginRight, 0, 30).i16(s.marginTop, 0, 30).bytes(ignored, 2);
    r.boolean(s.dropdownButton).boolean(s.spinButton);
    s.backColor = static_cast<OLE_COLOR>(back);
    s.foreColor = static_cast<OLE_COLOR>(fore);

    r.text(s.caption.text).i16(s.caption.alignment, 0, 8).i32(captionColor);
    r.i16(s.caption.size, 0).i16(s.caption.position, 0, 1).i16(s.caption.spacing, 0);
    s.caption.color = static_cast<OLE_COLOR>(captionColor);
    if (r.ok()) {
        IFont* font = nullptr;
        r.step(in.object(CLSID_StdFont, IID_IFont, reinterpret_cast<void**>(&font)));
        if (font) {
            if (s.captionFont) s.captionFont->Release();
            s.captionFont = font;
        }
    }
    r.boolean(s.spinAutowrap);
    return r.result();
}

} // namespace timectl
