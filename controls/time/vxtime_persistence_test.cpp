// VxTime saved and loaded the ways containers do it: the property bag's names, order and defaults,
// round trips through bags, streams and storages, the stream's exact layout (the same bytes in the
// 32- and 64-bit builds, so either reads what the other wrote) and damaged streams refused.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "vxtime_test_fixture.h"

namespace {

using vxtimetest::getText;
using vxtimetest::putText;

using Bytes = std::vector<BYTE>;

// Saving and loading is what a designer does: its controls are hosted as in a designer.
class Persistence : public vxtimetest::HostedTime {
protected:
    std::unique_ptr<vxtest::Container> host(bool userMode = false) { return HostedTime::host(userMode); }
    // A designer's control with a value other than the default in every property.
    std::unique_ptr<vxtest::Container> dressed() {
        auto time = host();
        vxtest::Container& t = *time;
        EXPECT_EQ(putText(t, L"Format", L"hh:mm A/P"), S_OK);
        EXPECT_EQ(putText(t, L"DisplayFormat", L"HH:MM"), S_OK);
        EXPECT_EQ(putText(t, L"PromptChar", L"*"), S_OK);
        EXPECT_EQ(t.putLong(L"MinTime", 60000), S_OK);
        EXPECT_EQ(t.putLong(L"MaxTime", 200000), S_OK);
        EXPECT_EQ(t.putLong(L"Number", 143000), S_OK);
        EXPECT_EQ(putText(t, L"KeyClear", L"{F5}"), S_OK);
        EXPECT_EQ(putText(t, L"KeyNext", L"{ENTER}"), S_OK);
        EXPECT_EQ(putText(t, L"KeyNow", L"^{N}"), S_OK);
        EXPECT_EQ(putText(t, L"KeyPrevious", L"{F9}"), S_OK);
        const std::pair<const wchar_t*, long> numbers[] = {
            {L"AlignHorizontal", 2}, {L"CursorPosition", 3},   {L"DataProperty", 1},
            {L"ErrorBeep", -1},      {L"ReadOnly", -1},        {L"ClipMode", 1},
            {L"HighlightText", 2},   {L"Appearance", 0},       {L"BorderStyle", 0},
            {L"MarginBottom", 4},    {L"MarginLeft", 5},       {L"MarginRight", 6},
            {L"MarginTop", 7},       {L"BackColor", 0xC0FFEE}, {L"ForeColor", 0x123456},
            {L"MousePointer", 11},
        };
        for (const auto& [name, value] : numbers)
            EXPECT_EQ(t.putLong(name, value), S_OK) << static_cast<const void*>(name);
        ICaption* caption = t.as<ICaption>(IID_ICaption);
        BSTR text = SysAllocString(L"Start");
        caption->put_Text(text);
        SysFreeString(text);
        caption->put_Alignment(vxCaptBottomCenter);
        caption->put_Color(0x0000FF);
        caption->put_Position(vxCaptPosTop);
        caption->put_Spacing(5);
        caption->put_Size(17);
        IFontDisp* fontDisp = nullptr;
        caption->get_Font(&fontDisp);
        IFont* font = nullptr;
        fontDisp->QueryInterface(IID_IFont, reinterpret_cast<void**>(&font));
        font->put_Bold(TRUE);
        CY size = {};
        size.int64 = 140000;
        font->put_Size(size);
        caption->putref_Font(fontDisp);
        font->Release();
        fontDisp->Release();
        caption->Release();
        return time;
    }
    void expectDressed(vxtest::Container& t) {
        EXPECT_EQ(getText(t, L"Format"), L"hh:mm A/P");
        EXPECT_EQ(getText(t, L"DisplayFormat"), L"HH:MM");
        EXPECT_EQ(getText(t, L"PromptChar"), L"*");
        EXPECT_EQ(t.getLong(L"MinTime"), 60000);
        EXPECT_EQ(t.getLong(L"MaxTime"), 200000);
        EXPECT_EQ(t.getLong(L"Number"), 143000);
        EXPECT_EQ(getText(t, L"Text"), L"02:30 P"); // rebuilt from the Format
        EXPECT_EQ(getText(t, L"KeyClear"), L"{F5}");
        EXPECT_EQ(getText(t, L"KeyNext"), L"{ENTER}");
        EXPECT_EQ(getText(t, L"KeyNow"), L"^{N}");
        EXPECT_EQ(getText(t, L"KeyPrevious"), L"{F9}");
        const std::pair<const wchar_t*, long> numbers[] = {
            {L"AlignHorizontal", 2}, {L"CursorPosition", 3},   {L"DataProperty", 1},
            {L"ErrorBeep", -1},      {L"ReadOnly", -1},        {L"ClipMode", 1},
            {L"HighlightText", 2},   {L"Appearance", 0},       {L"BorderStyle", 0},
            {L"MarginBottom", 4},    {L"MarginLeft", 5},       {L"MarginRight", 6},
            {L"MarginTop", 7},       {L"BackColor", 0xC0FFEE}, {L"ForeColor", 0x123456},
            {L"MousePointer", 11},
        };
        for (const auto& [name, value] : numbers)
            EXPECT_EQ(t.getLong(name), value) << static_cast<const void*>(name);
        ICaption* caption = t.as<ICaption>(IID_ICaption);
        ASSERT_NE(caption, nullptr);
        BSTR text = nullptr;
        caption->get_Text(&text);
        EXPECT_STREQ(text, L"Start");
        SysFreeString(text);
        CaptionAlignmentConstants alignment;
        CaptionPositionConstants position;
        OLE_COLOR color = 0;
        short spacing = 0, size = 0;
        caption->get_Alignment(&alignment);
        caption->get_Position(&position);
        caption->get_Color(&color);
        caption->get_Spacing(&spacing);
        caption->get_Size(&size);
        EXPECT_EQ(alignment, vxCaptBottomCenter);
        EXPECT_EQ(position, vxCaptPosTop);
        EXPECT_EQ(color, 0x0000FFu);
        EXPECT_EQ(spacing, 5);
        EXPECT_EQ(size, 17);
        IFontDisp* fontDisp = nullptr;
        caption->get_Font(&fontDisp);
        ASSERT_NE(fontDisp, nullptr);
        IFont* font = nullptr;
        fontDisp->QueryInterface(IID_IFont, reinterpret_cast<void**>(&font));
        BOOL bold = FALSE;
        CY fontSize = {};
        font->get_Bold(&bold);
        font->get_Size(&fontSize);
        EXPECT_TRUE(bold);
        EXPECT_GT(fontSize.int64, 120000); // 14 points as the font system realises them
        font->Release();
        fontDisp->Release();
        caption->Release();
    }
};

IStream* memoryStream(const Bytes& bytes = {}) {
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    if (!bytes.empty()) stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    LARGE_INTEGER start = {};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    return stream;
}

Bytes contents(IStream* stream) {
    LARGE_INTEGER start = {};
    ULARGE_INTEGER end = {};
    stream->Seek(start, STREAM_SEEK_END, &end);
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    Bytes bytes(static_cast<size_t>(end.QuadPart));
    ULONG read = 0;
    if (!bytes.empty()) stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    return bytes;
}

Bytes saved(vxtest::Container& t) {
    IPersistStreamInit* persist = t.as<IPersistStreamInit>(IID_IPersistStreamInit);
    IStream* stream = memoryStream();
    EXPECT_EQ(persist->Save(stream, TRUE), S_OK);
    persist->Release();
    Bytes bytes = contents(stream);
    stream->Release();
    return bytes;
}

HRESULT load(vxtest::Container& t, const Bytes& bytes) {
    IPersistStreamInit* persist = t.as<IPersistStreamInit>(IID_IPersistStreamInit);
    IStream* stream = memoryStream(bytes);
    HRESULT hr = persist->Load(stream);
    stream->Release();
    persist->Release();
    return hr;
}

template <class T> T at(const Bytes& bytes, size_t offset) {
    T value;
    memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// Appends the little-endian bytes of a value, or a stored string.
struct Builder {
    Bytes bytes;
    template <class T> Builder& put(T value) {
        const BYTE* raw = reinterpret_cast<const BYTE*>(&value);
        bytes.insert(bytes.end(), raw, raw + sizeof value);
        return *this;
    }
    Builder& text(const char* value) {
        put<int32_t>(static_cast<int32_t>(strlen(value)));
        bytes.insert(bytes.end(), value, value + strlen(value));
        return *this;
    }
    Builder& nullObject() { return put(CLSID_NULL); }
};

TEST_F(Persistence, BagHoldsEveryNameInOrderWithItsDefault) {
    auto time = host();
    vxtest::PropertyBag bag;
    IPersistPropertyBag* persist = time->as<IPersistPropertyBag>(IID_IPersistPropertyBag);
    ASSERT_EQ(persist->Save(&bag, TRUE, TRUE), S_OK);
    persist->Release();
    const std::vector<std::wstring> expected = {L"_Version",
                                                L"_ExtentX",
                                                L"_ExtentY",
                                                L"AlignHorizontal",
                                                L"AlignVertical",
                                                L"CursorPosition",
                                                L"MaxTime",
                                                L"MinTime",
                                                L"Number",
                                                L"Value",
                                                L"DataProperty",
                                                L"ErrorBeep",
                                                L"ReadOnly",
                                                L"ClipMode",
                                                L"HighlightText",
                                                L"SelStart",
                                                L"SelLength",
                                                L"Format",
                                                L"DisplayFormat",
                                                L"KeyClear",
                                                L"KeyNext",
                                                L"KeyNow",
                                                L"KeyPrevious",
                                                L"PromptChar",
                                                L"Text",
                                                L"Appearance",
                                                L"BackColor",
                                                L"Enabled",
                                                L"ForeColor",
                                                L"BorderStyle",
                                                L"MarginBottom",
                                                L"MarginLeft",
                                                L"MarginRight",
                                                L"MarginTop",
                                                L"DropdownButton",
                                                L"SpinButton",
                                                L"Caption",
                                                L"CaptionAlignment",
                                                L"CaptionColor",
                                                L"CaptionWidth",
                                                L"CaptionPosition",
                                                L"CaptionSpacing",
                                                L"CaptionFont",
                                                L"SpinAutowrap",
                                                L"_StockProps",
                                                L"Font",
                                                L"MouseIcon",
                                                L"MousePointer"};
    EXPECT_EQ(bag.names(), expected);
    auto number = [&](const wchar_t* name) {
        VARIANT v;
        VariantInit(&v);
        VariantChangeType(&v, const_cast<VARIANT*>(bag.find(name)), 0, VT_I4);
        return V_I4(&v);
    };
    auto text = [&](const wchar_t* name) { return std::wstring(V_BSTR(bag.find(name))); };
    EXPECT_EQ(number(L"_Version"), 65537);
    EXPECT_EQ(V_VT(bag.find(L"AlignHorizontal")), VT_I2);
    EXPECT_EQ(V_VT(bag.find(L"MaxTime")), VT_I4);
    EXPECT_EQ(V_VT(bag.find(L"Value")), VT_R8);
    EXPECT_EQ(V_VT(bag.find(L"ErrorBeep")), VT_BOOL);
    EXPECT_EQ(number(L"MaxTime"), 235959);
    EXPECT_EQ(number(L"Appearance"), 1);
    EXPECT_EQ(number(L"BorderStyle"), 1);
    EXPECT_EQ(number(L"BackColor"), static_cast<LONG>(0x80000005));
    EXPECT_EQ(number(L"ForeColor"), static_cast<LONG>(0x80000008));
    EXPECT_EQ(number(L"MarginLeft"), 1);
    EXPECT_EQ(number(L"CaptionAlignment"), 3);
    EXPECT_EQ(number(L"CaptionSpacing"), 3);
    EXPECT_EQ(number(L"_StockProps"), 4);
    EXPECT_EQ(text(L"KeyClear"), L"{F2}");
    EXPECT_EQ(text(L"KeyNow"), L"{F3}");
    EXPECT_EQ(text(L"KeyNext"), L"");
    EXPECT_EQ(text(L"PromptChar"), L"_");
    EXPECT_EQ(text(L"Caption"), L"&Caption");
    EXPECT_EQ(V_VT(bag.find(L"CaptionFont")), VT_DISPATCH);
    EXPECT_NE(V_DISPATCH(bag.find(L"CaptionFont")), nullptr);
}

TEST_F(Persistence, BagRoundTripAndMissingNamesGiveTheDefaults) {
    auto time = dressed();
    vxtest::PropertyBag bag;
    IPersistPropertyBag* persist = time->as<IPersistPropertyBag>(IID_IPersistPropertyBag);
    ASSERT_EQ(persist->Save(&bag, TRUE, TRUE), S_OK);
    persist->Release();
    auto copy = host();
    IPersistPropertyBag* loader = copy->as<IPersistPropertyBag>(IID_IPersistPropertyBag);
    ASSERT_EQ(loader->Load(&bag, nullptr), S_OK);
    expectDressed(*copy);

    // Without Format: the locale's default, which a new control shows too; without DisplayFormat
    // the Format loaded; without Number the time of loading.
    auto fresh = host();
    const std::wstring localeFormat = getText(*fresh, L"Format");
    bag.remove(L"Format");
    bag.remove(L"DisplayFormat");
    bag.remove(L"Number");
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    ASSERT_EQ(loader->Load(&bag, nullptr), S_OK);
    GetLocalTime(&after);
    EXPECT_EQ(getText(*copy, L"Format"), localeFormat);
    EXPECT_EQ(getText(*copy, L"DisplayFormat"), localeFormat);
    const long loaded = copy->getLong(L"Number");
    const long first = before.wHour * 10000 + before.wMinute * 100 + before.wSecond;
    const long last = after.wHour * 10000 + after.wMinute * 100 + after.wSecond;
    if (first <= last) { // not across midnight
        EXPECT_GE(loaded, first);
        EXPECT_LE(loaded, last);
    }
    EXPECT_EQ(copy->getLong(L"MaxTime"), 200000); // the rest as stored

    // Values a bag holds out of range keep their defaults.
    VARIANT wrong;
    V_VT(&wrong) = VT_I2;
    V_I2(&wrong) = 31;
    bag.set(L"MarginLeft", wrong);
    V_I2(&wrong) = 9;
    bag.set(L"CaptionAlignment", wrong);
    ASSERT_EQ(loader->Load(&bag, nullptr), S_OK);
    EXPECT_EQ(copy->getLong(L"MarginLeft"), 1);
    ICaption* caption = copy->as<ICaption>(IID_ICaption);
    CaptionAlignmentConstants alignment;
    caption->get_Alignment(&alignment);
    EXPECT_EQ(alignment, vxCaptCenterLeft);
    caption->Release();
    loader->Release();
}

// The bytes after the 12-byte header: the 72-byte block, then the strings.
TEST_F(Persistence, StreamHasItsLayoutAndRoundTrips) {
    auto time = dressed();
    const Bytes bytes = saved(*time);
    ASSERT_GT(bytes.size(), 84u);
    EXPECT_EQ(at<uint32_t>(bytes, 0), 0x12345678u);
    EXPECT_EQ(at<uint32_t>(bytes, 4), 1u);
    EXPECT_EQ(at<uint32_t>(bytes, 8), 12u);
    const size_t block = 12;
    EXPECT_EQ(at<int32_t>(bytes, block + 0), 1);       // a new control's word
    EXPECT_EQ(at<int32_t>(bytes, block + 4), 1);       // ErrorBeep
    EXPECT_EQ(at<int32_t>(bytes, block + 8), 1);       // ReadOnly
    EXPECT_EQ(at<int16_t>(bytes, block + 12), 2);      // AlignHorizontal
    EXPECT_EQ(at<int16_t>(bytes, block + 14), 0);      // AlignVertical
    EXPECT_EQ(at<int16_t>(bytes, block + 16), 1);      // ClipMode
    EXPECT_EQ(at<int16_t>(bytes, block + 18), 3);      // CursorPosition
    EXPECT_EQ(at<int16_t>(bytes, block + 20), 1);      // DataProperty
    EXPECT_EQ(at<int16_t>(bytes, block + 22), 2);      // HighlightText
    EXPECT_EQ(at<int32_t>(bytes, block + 36), 200000); // MaxTime
    EXPECT_EQ(at<int32_t>(bytes, block + 40), 60000);  // MinTime
    EXPECT_EQ(at<int32_t>(bytes, block + 44), 143000); // Number
    EXPECT_NEAR(at<double>(bytes, block + 48), 14.5 / 24, 1e-12);
    EXPECT_EQ(at<uint16_t>(bytes, block + 56), VT_EMPTY); // nothing bound yet
    const size_t strings = block + 72;
    EXPECT_EQ(at<int32_t>(bytes, strings), 9);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()) + strings + 4, 9), "hh:mm A/P");

    auto copy = host();
    ASSERT_EQ(load(*copy, bytes), S_OK);
    expectDressed(*copy);
    // Nothing lost or added on the way, up to the caption font's class id: the font's own saved
    // form carries its size as the font system realised it, which may differ from the size asked.
    const size_t captionFont = 12 + 72 + (4 + 9) + (4 + 5) + (4 + 4) + (4 + 7) + (4 + 4) + (4 + 4) + (4 + 1) +
                               4 + (4 + 7) + 36 + (4 + 5) + 2 + 4 + 6 + sizeof(CLSID);
    const Bytes again = saved(*copy);
    ASSERT_GT(again.size(), captionFont);
    EXPECT_EQ(Bytes(again.begin(), again.begin() + captionFont),
              Bytes(bytes.begin(), bytes.begin() + captionFont));
    EXPECT_EQ(at<CLSID>(bytes, captionFont - sizeof(CLSID)), CLSID_StdFont);

    IStorage* storage = nullptr;
    ASSERT_EQ(StgCreateDocfile(nullptr,
                               STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_DELETEONRELEASE, 0,
                               &storage),
              S_OK);
    IPersistStorage* persist = time->as<IPersistStorage>(IID_IPersistStorage);
    ASSERT_EQ(persist->Save(storage, FALSE), S_OK);
    persist->Release();
    auto fromStorage = host();
    IPersistStorage* loader = fromStorage->as<IPersistStorage>(IID_IPersistStorage);
    ASSERT_EQ(loader->Load(storage), S_OK);
    loader->Release();
    storage->Release();
    expectDressed(*fromStorage);
}

// A stream written by hand in the stored layout, as any build writes it: a build reads it whatever
// its own pointer width. The reserved bytes and string come back as they were.
TEST_F(Persistence, StreamOfTheOtherBuildLoads) {
    Builder b;
    b.put<uint32_t>(0x12345678).put<uint32_t>(1).put<uint32_t>(12);
    b.put<int32_t>(7).put<int32_t>(0).put<int32_t>(0); // word, ErrorBeep, ReadOnly
    b.put<int16_t>(1).put<int16_t>(2).put<int16_t>(0).put<int16_t>(4).put<int16_t>(0).put<int16_t>(1);
    for (BYTE reserved : {1, 2, 3, 4, 5, 6, 7, 8})
        b.put<BYTE>(reserved);
    b.put<int16_t>(2).put<int16_t>(3); // SelLength, SelStart
    b.put<int32_t>(220000).put<int32_t>(10000).put<int32_t>(93015).put<double>(0.0);
    b.put<uint16_t>(VT_I4).put<uint16_t>(0).put<uint32_t>(0).put<int32_t>(93015).put<int32_t>(0);
    b.text("hh:mm:ss").text("").text("{F2}").text("").text("{F3}").text("").text("_").text("kept").text("x");
    b.put<int16_t>(1).put<int16_t>(0).put<uint32_t>(0x80000005).put<int32_t>(1).put<uint32_t>(0x80000008);
    b.put<int16_t>(1).put<int16_t>(1).put<int16_t>(2).put<int16_t>(1).put<int16_t>(1).put<int16_t>(0);
    b.put<int32_t>(0).put<int32_t>(0); // DropdownButton, SpinButton
    b.text("Due").put<int16_t>(4).put<uint32_t>(0xFF0000).put<int16_t>(30).put<int16_t>(0).put<int16_t>(2);
    b.nullObject();                              // caption font: keep
    b.put<int32_t>(1);                           // SpinAutowrap
    b.nullObject().nullObject().put<int16_t>(0); // Font, MouseIcon, MousePointer

    auto time = host(true);
    ASSERT_EQ(load(*time, b.bytes), S_OK);
    EXPECT_EQ(getText(*time, L"Text"), L"09:30:15"); // rebuilt, not the stored "x"
    EXPECT_EQ(getText(*time, L"DisplayFormat"), L"");
    EXPECT_EQ(time->getLong(L"MinTime"), 10000);
    EXPECT_EQ(time->getLong(L"MaxTime"), 220000);
    EXPECT_EQ(time->getLong(L"CursorPosition"), 4);
    EXPECT_EQ(time->getLong(L"HighlightText"), 1);
    EXPECT_EQ(time->getLong(L"MarginLeft"), 2);
    EXPECT_EQ(time->getLong(L"SelStart"), 3);
    EXPECT_EQ(time->getLong(L"SelLength"), 2);
    EXPECT_EQ(time->getLong(L"BindField"), 93015);
    ICaption* caption = time->as<ICaption>(IID_ICaption);
    short size = 0;
    caption->get_Size(&size);
    EXPECT_EQ(size, 30);
    caption->Release();
    const Bytes again = saved(*time);
    ASSERT_GE(again.size(), 12u + 72u);
    EXPECT_EQ(at<int32_t>(again, 12), 7);
    EXPECT_EQ(Bytes(again.begin() + 12 + 24, again.begin() + 12 + 32), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
    const std::string text(again.begin(), again.end());
    EXPECT_NE(text.find("kept"), std::string::npos);
}

TEST_F(Persistence, DamagedStreamsAreRefusedAndChangeNothing) {
    auto time = dressed();
    Bytes bytes = saved(*time);
    auto target = host();
    ASSERT_EQ(putText(*target, L"Format", L"hh:mm"), S_OK);
    ASSERT_EQ(target->putLong(L"Number", 101500), S_OK);
    const Bytes before = saved(*target);

    Bytes wrongMagic = bytes;
    wrongMagic[0] = 0x79;
    EXPECT_EQ(load(*target, wrongMagic), E_UNEXPECTED);
    Bytes outOfRange = bytes;
    outOfRange[12 + 18] = 9; // CursorPosition
    EXPECT_TRUE(FAILED(load(*target, outOfRange)));
    for (size_t cut : {size_t(20), size_t(12 + 72), bytes.size() - 3})
        EXPECT_TRUE(FAILED(load(*target, Bytes(bytes.begin(), bytes.begin() + cut)))) << cut;
    EXPECT_EQ(saved(*target), before);
    EXPECT_EQ(getText(*target, L"Text"), L"10:15");
}

} // namespace
