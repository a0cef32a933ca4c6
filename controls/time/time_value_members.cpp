// The automation members of the time value and its formats. The rules of what a time may become
// are the TimeModel's; these members convert between automation types and the model, decide how a
// refusal reaches the caller (an error in a designer, the InvalidRange event in a running form)
// and announce accepted changes.
#include "ansi_text.h"
#include "strings.h"
#include "time_control.h"

namespace timectl {

using framework::kStringInvalidValue;
using framework::kStringReadOnly;
using vxtime::Assign;

namespace {

enum TimeDispid : DISPID {
    kDispidFormat = 23,
    kDispidMaxTime = 26,
    kDispidMinTime = 27,
    kDispidNumber = 29,
    kDispidPromptChar = 30,
    kDispidText = 35,
    kDispidValue = 36,
    kDispidDisplayFormat = 50,
};
const DISPID kEventInvalidRange = 2;

// The variant as given, with a by-reference wrapper (script variables) removed.
struct PlainVariant {
    explicit PlainVariant(VARIANT& given) {
        VariantInit(&value);
        if (FAILED(VariantCopyInd(&value, &given))) V_VT(&value) = VT_ERROR;
    }
    ~PlainVariant() { VariantClear(&value); }
    PlainVariant(const PlainVariant&) = delete;
    PlainVariant& operator=(const PlainVariant&) = delete;
    bool clears() const { return V_VT(&value) == VT_EMPTY || V_VT(&value) == VT_NULL; }
    bool as(VARTYPE type, VARIANT& out) {
        VariantInit(&out);
        return SUCCEEDED(VariantChangeType(&out, &value, 0, type));
    }
    VARIANT value;
};

bool toNumber(PlainVariant& given, std::int32_t& number) {
    VARIANT converted;
    if (!given.as(VT_I4, converted)) return false;
    number = V_I4(&converted);
    return true;
}

HRESULT putI4(std::int32_t number, VARIANT* value) {
    if (!value) return E_POINTER;
    VariantInit(value);
    V_VT(value) = VT_I4;
    V_I4(value) = number;
    return S_OK;
}

} // namespace

HRESULT TimeControl::refuse(UINT stringId) {
    return raiseError(CTL_E_INVALIDPROPERTYVALUE, stringId);
}

HRESULT TimeControl::settle(Assign verdict, DISPID dispid) {
    switch (verdict) {
    case Assign::Accepted:
        propertyChanged(dispid);
        showEditText();
        return S_OK;
    case Assign::OutOfRange:
        // A running form hears about a time it cannot take through its event handler; the caller
        // of the setter is not interrupted.
        if (userMode()) {
            fireEvent(kEventInvalidRange, nullptr, 0);
            return S_OK;
        }
        return refuse(kStringInvalidValue);
    case Assign::Invalid:
    default:
        return refuse(kStringInvalidValue);
    }
}

STDMETHODIMP TimeControl::get_Format(BSTR* value) {
    return toBstr(model_.format(), value);
}
STDMETHODIMP TimeControl::put_Format(BSTR value) {
    return settle(model_.setFormat(toAnsi(value)), kDispidFormat);
}

STDMETHODIMP TimeControl::get_DisplayFormat(BSTR* value) {
    return toBstr(model_.displayFormat(), value);
}
STDMETHODIMP TimeControl::put_DisplayFormat(BSTR value) {
    model_.setDisplayFormat(toAnsi(value));
    propertyChanged(kDispidDisplayFormat);
    return S_OK;
}

STDMETHODIMP TimeControl::get_PromptChar(BSTR* value) {
    return toBstr(std::string(1, model_.promptChar()), value);
}
STDMETHODIMP TimeControl::put_PromptChar(BSTR value) {
    // A character the code page lacks would be kept as its default character ("?").
    if (!survivesAnsi(value)) return refuse(kStringInvalidValue);
    return settle(model_.setPromptChar(toAnsi(value)), kDispidPromptChar);
}

STDMETHODIMP TimeControl::get_MinTime(VARIANT* value) {
    return putI4(model_.minTime(), value);
}
STDMETHODIMP TimeControl::put_MinTime(VARIANT value) {
    PlainVariant given(value);
    std::int32_t number = 0;
    if (!toNumber(given, number)) return refuse(kStringInvalidValue);
    return settle(model_.setMinTime(number), kDispidMinTime);
}

STDMETHODIMP TimeControl::get_MaxTime(VARIANT* value) {
    return putI4(model_.maxTime(), value);
}
STDMETHODIMP TimeControl::put_MaxTime(VARIANT value) {
    PlainVariant given(value);
    std::int32_t number = 0;
    if (!toNumber(given, number)) return refuse(kStringInvalidValue);
    return settle(model_.setMaxTime(number), kDispidMaxTime);
}

STDMETHODIMP TimeControl::get_Number(VARIANT* value) {
    return putI4(model_.number(), value);
}
STDMETHODIMP TimeControl::put_Number(VARIANT value) {
    return putTimeNumber(value, kDispidNumber);
}

// Number and Default: Empty or Null clears the control; a value that is no number is treated like
// one out of range.
HRESULT TimeControl::putTimeNumber(VARIANT value, DISPID dispid) {
    PlainVariant given(value);
    if (given.clears()) {
        model_.clear();
        propertyChanged(dispid);
        showEditText();
        return S_OK;
    }
    std::int32_t number = 0;
    if (!toNumber(given, number)) return settle(Assign::OutOfRange, dispid);
    return settle(model_.setNumber(number), dispid);
}

STDMETHODIMP TimeControl::get_Value(VARIANT* value) {
    if (!value) return E_POINTER;
    VariantInit(value);
    if (auto fraction = model_.value()) {
        V_VT(value) = VT_R8;
        V_R8(value) = *fraction;
    }
    return S_OK;
}
STDMETHODIMP TimeControl::put_Value(VARIANT value) {
    if (!userMode()) return refuse(kStringReadOnly);
    PlainVariant given(value);
    if (given.clears()) {
        model_.clear();
        propertyChanged(kDispidValue);
        showEditText();
        return S_OK;
    }
    VARIANT fraction;
    if (!given.as(VT_R8, fraction)) return settle(Assign::OutOfRange, kDispidValue);
    return settle(model_.setValue(V_R8(&fraction)), kDispidValue);
}

STDMETHODIMP TimeControl::get_Text(BSTR* value) {
    return toBstr(model_.editText(), value);
}
STDMETHODIMP TimeControl::put_Text(BSTR value) {
    return settle(model_.setText(toAnsi(value)), kDispidText);
}

STDMETHODIMP TimeControl::get_DispText(BSTR* value) {
    if (!value) return E_POINTER;
    if (!userMode()) return refuse(kStringReadOnly);
    return toBstr(model_.dispText(), value);
}

HRESULT TimeControl::getField(int field, short* value) {
    if (!value) return E_POINTER;
    if (!userMode()) return refuse(kStringReadOnly);
    *value = static_cast<short>(field);
    return S_OK;
}
STDMETHODIMP TimeControl::get_Hour(short* value) {
    return getField(model_.hour(), value);
}
STDMETHODIMP TimeControl::get_Minute(short* value) {
    return getField(model_.minute(), value);
}
STDMETHODIMP TimeControl::get_Second(short* value) {
    return getField(model_.second(), value);
}

STDMETHODIMP TimeControl::get_AMPM(BSTR* value) {
    if (!value) return E_POINTER;
    if (!userMode()) return refuse(kStringReadOnly);
    return toBstr(model_.ampmText(), value);
}

STDMETHODIMP TimeControl::ClearControl() {
    if (look_.readOnly) return S_OK;
    model_.clear();
    propertyChanged(kDispidNumber);
    showEditText();
    return S_OK;
}

} // namespace timectl
