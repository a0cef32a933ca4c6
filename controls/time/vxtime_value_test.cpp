// The time value and its formats through vxtime.ocx's automation interface, hosted in a form: what
// a script sees when it sets and reads the time, and how refusals reach a designer and a running form.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "vxtime_test_fixture.h"

namespace {

using vxtimetest::getText;
using vxtimetest::putText;

const HRESULT kInvalidPropertyValue = static_cast<HRESULT>(0x800A017C);
const DISPID kInvalidRangeEvent = 2;
const wchar_t kInvalidValueText[] = L"Invalid property value";
const wchar_t kReadOnlyText[] = L"Property is read-only";

using TimeValue = vxtimetest::HostedTime;

HRESULT putDouble(vxtest::Container& time, const wchar_t* name, double number) {
    VARIANT value;
    V_VT(&value) = VT_R8;
    V_R8(&value) = number;
    return time.put(name, value);
}

HRESULT putKind(vxtest::Container& time, const wchar_t* name, VARTYPE kind) {
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = kind;
    return time.put(name, value);
}

// Value as a script reads it: its variant type and the number in it.
struct ReadValue {
    VARTYPE type = VT_ERROR;
    double number = -1;
};
ReadValue getValue(vxtest::Container& time) {
    VARIANT value;
    ReadValue read;
    if (FAILED(time.get(L"Value", &value))) return read;
    read.type = V_VT(&value);
    if (read.type == VT_R8) read.number = V_R8(&value);
    return read;
}

// The description of the thread's error object, as a dual-interface client reads it.
std::wstring lastErrorDescription() {
    IErrorInfo* error = nullptr;
    if (GetErrorInfo(0, &error) != S_OK || !error) return L"<none>";
    BSTR text = nullptr;
    error->GetDescription(&text);
    error->Release();
    std::wstring result = text ? text : L"";
    SysFreeString(text);
    return result;
}

TEST_F(TimeValue, FormatRefusalsKeepTheFormerFormatAndSayWhy) {
    auto time = host();
    time->clearChanges();
    ASSERT_EQ(putText(*time, L"Format", L"hh:mm:ss"), S_OK);
    EXPECT_EQ(time->changes(), std::vector<DISPID>{23});
    for (const wchar_t* bad : {L"hhh:mm", L"", L"h:mm h", L"hh:mm a", L"AMPM hh:mm"}) {
        SCOPED_TRACE(testing::Message() << "Format " << std::string(bad, bad + wcslen(bad)));
        EXPECT_EQ(putText(*time, L"Format", bad), kInvalidPropertyValue);
        EXPECT_EQ(time->lastErrorText(), kInvalidValueText);
    }
    EXPECT_EQ(getText(*time, L"Format"), L"hh:mm:ss");
    EXPECT_EQ(time->changes(), std::vector<DISPID>{23});

    EXPECT_EQ(putText(*time, L"PromptChar", L"ab"), kInvalidPropertyValue);
    EXPECT_EQ(putText(*time, L"PromptChar", L""), kInvalidPropertyValue);
    ASSERT_EQ(putText(*time, L"PromptChar", L"*"), S_OK);
    ASSERT_EQ(time->putLong(L"Number", 999999), S_OK);
    EXPECT_EQ(getText(*time, L"Text"), L"**:**:**");
    EXPECT_EQ(getText(*time, L"PromptChar"), L"*");

    // DisplayFormat is never checked; it only changes how the time reads without the focus.
    ASSERT_EQ(putText(*time, L"DisplayFormat", L"H:MM a/p"), S_OK);
    ASSERT_EQ(time->putLong(L"Number", 130500), S_OK);
    EXPECT_EQ(getText(*time, L"DispText"), L"1:05 p");
    ASSERT_EQ(putText(*time, L"DisplayFormat", L"HH:MM"), S_OK);
    EXPECT_EQ(getText(*time, L"DispText"), L"13:05");
}

TEST_F(TimeValue, NewControlTakesTheUsersClockStyle) {
    auto time = host();
    const std::wstring format = getText(*time, L"Format");
    char separator[8] = {}, clock[4] = {};
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, separator, sizeof separator);
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_ITIME, clock, sizeof clock);
    EXPECT_NE(format.find(std::wstring(separator, separator + strlen(separator)) + L"mm"), std::wstring::npos)
        << format.c_str();
    EXPECT_EQ(format.find(L"AM/PM") != std::wstring::npos || format.find(L"AMPM") != std::wstring::npos,
              std::string(clock) == "0")
        << format.c_str();
    EXPECT_EQ(getText(*time, L"DisplayFormat"), format);
    EXPECT_NE(time->getLong(L"Number"), 999999); // it shows the time it was made at
}

TEST_F(TimeValue, NumberValueAndTextAreOneTime) {
    auto time = host();
    ASSERT_EQ(putText(*time, L"Format", L"hh:mm:ss"), S_OK);
    ASSERT_EQ(time->putLong(L"Number", 143000), S_OK);
    EXPECT_EQ(getText(*time, L"Text"), L"14:30:00");
    ReadValue value = getValue(*time);
    EXPECT_EQ(value.type, VT_R8);
    EXPECT_NEAR(value.number, 0.6041666666666666, 1e-12);
    EXPECT_EQ(time->getLong(L"Hour"), 14);
    EXPECT_EQ(time->getLong(L"Minute"), 30);
    EXPECT_EQ(time->getLong(L"Second"), 0);
    EXPECT_EQ(getText(*time, L"AMPM"), L"");

    // A date with a time keeps the time; the sign is dropped; the rounding may pass midnight.
    ASSERT_EQ(putDouble(*time, L"Value", 1.75), S_OK);
    EXPECT_EQ(time->getLong(L"Number"), 180000);
    ASSERT_EQ(putDouble(*time, L"Value", -0.25), S_OK);
    EXPECT_EQ(time->getLong(L"Number"), 60000);
    ASSERT_EQ(putDouble(*time, L"Value", 0.99999999), S_OK);
    EXPECT_EQ(time->getLong(L"Number"), 0);
    EXPECT_EQ(getText(*time, L"Text"), L"00:00:00");

    ASSERT_EQ(putText(*time, L"Text", L"09:15:30"), S_OK);
    EXPECT_EQ(time->getLong(L"Number"), 91530);
    ASSERT_EQ(putText(*time, L"Text", L"12:__:__"), S_OK);
    EXPECT_EQ(time->getLong(L"Number"), 999999);

    // Twelve-hour formats: the hour field reads as the Format shows it.
    ASSERT_EQ(putText(*time, L"Format", L"h:mm AM/PM"), S_OK);
    ASSERT_EQ(time->putLong(L"Number", 3000), S_OK);
    EXPECT_EQ(getText(*time, L"Text"), L"12:30 AM");
    EXPECT_EQ(time->getLong(L"Hour"), 12);
    EXPECT_EQ(getText(*time, L"AMPM"), L"AM");
    ASSERT_EQ(putText(*time, L"Text", L"02:45 PM"), S_OK);
    EXPECT_EQ(time->getLong(L"Number"), 144500);
    EXPECT_EQ(time->getLong(L"Default"), 144500);
}

TEST_F(TimeValue, LimitsMoveTheTimeAndRefuseDisorder) {
    auto time = host();
    ASSERT_EQ(putText(*time, L"Format", L"hh:mm:ss"), S_OK);
    ASSERT_EQ(time->putLong(L"Number", 143000), S_OK);
    time->clearChanges();
    ASSERT_EQ(time->putLong(L"MaxTime", 120000), S_OK);
    EXPECT_EQ(time->getLong(L"MaxTime"), 120000);
    EXPECT_EQ(time->getLong(L"Number"), 120000);
    EXPECT_EQ(getText(*time, L"Text"), L"12:00:00");
    EXPECT_EQ(time->changes(), std::vector<DISPID>{26});

    EXPECT_EQ(time->putLong(L"MinTime", 120001), kInvalidPropertyValue); // above MaxTime
    EXPECT_EQ(time->lastErrorText(), kInvalidValueText);
    EXPECT_EQ(time->putLong(L"MaxTime", 236000), kInvalidPropertyValue);
    EXPECT_EQ(time->putLong(L"MaxTime", 106000), kInvalidPropertyValue); // minute 60
    EXPECT_EQ(time->putLong(L"MinTime", -1), kInvalidPropertyValue);
    EXPECT_EQ(putKind(*time, L"MaxTime", VT_NULL), kInvalidPropertyValue);
    EXPECT_EQ(time->getLong(L"MaxTime"), 120000);
    EXPECT_EQ(time->getLong(L"MinTime"), 0);

    ASSERT_EQ(time->putLong(L"MaxTime", 235959), S_OK);
    ASSERT_EQ(time->putLong(L"MinTime", 150000), S_OK);
    EXPECT_EQ(time->getLong(L"Number"), 150000);
    ASSERT_EQ(time->putLong(L"MaxTime", 150000), S_OK);
    EXPECT_EQ(time->putLong(L"MaxTime", 145959), kInvalidPropertyValue); // below MinTime

    // An empty control stays empty when the limits move.
    ASSERT_EQ(time->putLong(L"Number", 999999), S_OK);
    ASSERT_EQ(time->putLong(L"MinTime", 100000), S_OK);
    EXPECT_EQ(time->getLong(L"Number"), 999999);
}

TEST_F(TimeValue, EmptyNullAnd999999ClearTheControl) {
    auto time = host();
    ASSERT_EQ(putText(*time, L"Format", L"hh:mm:ss"), S_OK);
    ASSERT_EQ(putText(*time, L"DisplayFormat", L""), S_OK); // the display follows the Format
    ASSERT_EQ(time->putLong(L"Number", 143000), S_OK);
    ASSERT_EQ(time->putLong(L"Number", 999999), S_OK);
    EXPECT_EQ(time->getLong(L"Number"), 999999);
    EXPECT_EQ(getValue(*time).type, VT_EMPTY);
    EXPECT_EQ(getText(*time, L"Text"), L"__:__:__");
    EXPECT_EQ(getText(*time, L"DispText"), L"__:__:__");
    EXPECT_EQ(time->getLong(L"Hour"), -1);
    EXPECT_EQ(time->getLong(L"Second"), -1);

    ASSERT_EQ(time->putLong(L"Number", 143000), S_OK);
    ASSERT_EQ(putKind(*time, L"Value", VT_EMPTY), S_OK);
    EXPECT_EQ(time->getLong(L"Number"), 999999);
    ASSERT_EQ(time->putLong(L"Number", 143000), S_OK);
    ASSERT_EQ(putKind(*time, L"Number", VT_NULL), S_OK);
    EXPECT_EQ(time->getLong(L"Number"), 999999);

    ASSERT_EQ(time->putLong(L"Number", 143000), S_OK);
    IDispatch* dispatch = time->as<IDispatch>(IID_IDispatch);
    LPOLESTR name[] = {const_cast<LPOLESTR>(L"ClearControl")};
    DISPID clear = 0;
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, name, 1, LOCALE_USER_DEFAULT, &clear), S_OK);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    ASSERT_EQ(time->putLong(L"ReadOnly", 1), S_OK);
    ASSERT_EQ(dispatch->Invoke(clear, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(time->getLong(L"Number"), 143000); // a read-only control keeps its time
    ASSERT_EQ(time->putLong(L"ReadOnly", 0), S_OK);
    ASSERT_EQ(dispatch->Invoke(clear, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(time->getLong(L"Number"), 999999);
    EXPECT_EQ(getText(*time, L"Text"), L"__:__:__");
    dispatch->Release();
}

TEST_F(TimeValue, RefusedTimesAreErrorsInADesignerAndEventsInARunningForm) {
    auto designing = host(false);
    ASSERT_EQ(putText(*designing, L"Format", L"hh:mm:ss"), S_OK);
    ASSERT_EQ(designing->putLong(L"Number", 143000), S_OK);
    designing->clearEvents();
    EXPECT_EQ(designing->putLong(L"Number", 250000), kInvalidPropertyValue);
    EXPECT_EQ(designing->lastErrorText(), kInvalidValueText);
    EXPECT_EQ(putText(*designing, L"Text", L"14:3x:00"), kInvalidPropertyValue);
    EXPECT_EQ(putText(*designing, L"Number", L"not a time"), kInvalidPropertyValue);
    EXPECT_EQ(putDouble(*designing, L"Value", 0.5), kInvalidPropertyValue); // Value is a run-time member
    EXPECT_EQ(designing->lastErrorText(), kReadOnlyText);
    EXPECT_EQ(designing->getLong(L"Number"), 143000);
    EXPECT_TRUE(designing->events().empty());

    IVxTime* dual = designing->as<IVxTime>(IID_IVxTime);
    ASSERT_NE(dual, nullptr);
    short hour = 0;
    EXPECT_EQ(dual->get_Hour(&hour), kInvalidPropertyValue);
    EXPECT_EQ(lastErrorDescription(), kReadOnlyText);
    BSTR text = nullptr;
    EXPECT_EQ(dual->get_DispText(&text), kInvalidPropertyValue);
    EXPECT_EQ(dual->get_AMPM(&text), kInvalidPropertyValue);
    EXPECT_EQ(dual->get_Text(&text), S_OK);
    EXPECT_STREQ(text, L"14:30:00");
    SysFreeString(text);
    dual->Release();

    auto running = host(true);
    ASSERT_EQ(putText(*running, L"Format", L"hh:mm:ss"), S_OK);
    ASSERT_EQ(running->putLong(L"Number", 143000), S_OK);
    ASSERT_EQ(running->putLong(L"MaxTime", 180000), S_OK);
    running->clearEvents();
    running->clearChanges();
    EXPECT_EQ(running->putLong(L"Number", 190000), S_OK);
    EXPECT_EQ(putText(*running, L"Text", L"25:00:00"), S_OK);
    EXPECT_EQ(putDouble(*running, L"Value", 0.9), S_OK); // 21:36:00, past MaxTime
    ASSERT_EQ(running->events().size(), 3u);
    for (const auto& event : running->events())
        EXPECT_EQ(event.dispid, kInvalidRangeEvent);
    EXPECT_EQ(running->getLong(L"Number"), 143000);
    EXPECT_TRUE(running->changes().empty());
}

TEST_F(TimeValue, UnfocusedControlDrawsItsDisplayText) {
    auto time = host();
    ASSERT_EQ(putText(*time, L"Format", L"hh:mm:ss"), S_OK);
    ASSERT_EQ(time->putLong(L"Number", 143000), S_OK);
    ASSERT_EQ(time->putLong(L"BackColor", RGB(255, 255, 255)), S_OK);
    ASSERT_EQ(time->putLong(L"ForeColor", RGB(0, 0, 0)), S_OK);
    IViewObject* view = time->as<IViewObject>(IID_IViewObject);
    ASSERT_NE(view, nullptr);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 120, 24);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    // Dark pixels inside the border: the text's ink.
    auto inkInside = [&] {
        RECTL bounds = {0, 0, 120, 24};
        EXPECT_EQ(
            view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0),
            S_OK);
        int ink = 0;
        for (int y = 3; y < 21; ++y)
            for (int x = 3; x < 117; ++x)
                if (GetPixel(dc, x, y) == RGB(0, 0, 0)) ++ink;
        return ink;
    };
    EXPECT_GT(inkInside(), 20);
    ASSERT_EQ(putText(*time, L"DisplayFormat", L" "), S_OK);
    EXPECT_EQ(inkInside(), 0);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    view->Release();
}

} // namespace
