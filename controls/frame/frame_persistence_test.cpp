// VxFrame3D saved and loaded the ways containers do it: property bags, streams and storages;
// the stream's exact bytes (the same in the 32- and 64-bit builds); damaged input refused with
// the control left as it was; and a fixed-seed fuzz run over the stream and bag loaders.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "test_container.h"
#include "vxframe3d.h"

namespace {

using Bytes = std::vector<BYTE>;

// Non-default values for every property, and the bytes the stream must hold for them after its
// header: the fourteen 16-bit values, Enabled, the three colours, then the caption.
const BYTE kHeader[] = {0x78, 0x56, 0x34, 0x12, 1, 0, 0, 0, 12, 0, 0, 0};
const BYTE kBlockAndCaption[] = {
    0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0xFD, 0xFF, 0x28, 0x00, 0xC4, 0xFF, 0x02, 0x00, 0x02, 0x00, // 0-7
    0x64, 0x00, 0x05, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00, 0x06, 0x00,                         // 8-13
    0x00, 0x00, 0x00, 0x00,                                                                         // Enabled
    0xC0, 0xC0, 0xC0, 0x00, 0x05, 0x00, 0x00, 0x80, 0xFF, 0x00, 0x00, 0x00,                         // colours
    0x06, 0x00, 0x00, 0x00, 'D',  'o',  'c',  'k',  ' ',  '7'};

struct Setting {
    const wchar_t* name;
    long value;
};
const Setting kSettings[] = {
    {L"AlignHorizontal", 0},
    {L"AlignVertical", 1},
    {L"AutoSize", 1},
    {L"Bevel", -3},
    {L"BevelLight", 40},
    {L"BevelShade", -60},
    {L"LightSource", 2},
    {L"OutLine", 2},
    {L"ShadowDarkness", 100},
    {L"ShadowWidth", 5},
    {L"MarginLeft", 2},
    {L"MarginTop", 3},
    {L"MarginRight", 4},
    {L"MarginBottom", 6},
    {L"Enabled", 0},
    {L"ShadowBaseColor", 0xC0C0C0},
    {L"BackColor", static_cast<long>(0x80000005)},
    {L"ForeColor", 0xFF},
};
const wchar_t* const kAllNumbers[] = {
    L"AlignHorizontal", L"AlignVertical", L"AutoSize",    L"Bevel",          L"BevelLight",
    L"BevelShade",      L"LightSource",   L"OutLine",     L"ShadowDarkness", L"ShadowWidth",
    L"MarginLeft",      L"MarginTop",     L"MarginRight", L"MarginBottom",   L"Enabled",
    L"ShadowBaseColor", L"BackColor",     L"ForeColor",   L"MousePointer"};

template <class T> T* query(IUnknown* object, const IID& iid) {
    T* result = nullptr;
    object->QueryInterface(iid, reinterpret_cast<void**>(&result));
    return result;
}

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

std::wstring text(vxtest::Container& frame, const wchar_t* name) {
    VARIANT value;
    if (FAILED(frame.get(name, &value)) || V_VT(&value) != VT_BSTR) return L"<error>";
    std::wstring result(V_BSTR(&value), SysStringLen(V_BSTR(&value)));
    VariantClear(&value);
    return result;
}

IFont* fontOf(vxtest::Container& frame) {
    VARIANT value;
    if (FAILED(frame.get(L"Font", &value)) || V_VT(&value) != VT_DISPATCH || !V_DISPATCH(&value))
        return nullptr;
    IFont* font = query<IFont>(V_DISPATCH(&value), IID_IFont);
    VariantClear(&value);
    return font;
}

std::wstring nameOf(IFont* font) {
    BSTR name = nullptr;
    font->get_Name(&name);
    std::wstring result(name ? name : L"");
    SysFreeString(name);
    return result;
}

std::wstring fontName(vxtest::Container& frame) {
    IFont* font = fontOf(frame);
    if (!font) return L"<none>";
    std::wstring name = nameOf(font);
    font->Release();
    return name;
}

// The name a font of `face` reports here (the system may stand another face in for it).
std::wstring shownFace(const wchar_t* face, LONGLONG size = 90000, short weight = FW_NORMAL) {
    FONTDESC description = {sizeof(FONTDESC),
                            const_cast<LPOLESTR>(face),
                            {{static_cast<DWORD>(size), 0}},
                            weight,
                            ANSI_CHARSET,
                            FALSE,
                            FALSE,
                            FALSE};
    IFont* font = nullptr;
    OleCreateFontIndirect(&description, IID_IFont, reinterpret_cast<void**>(&font));
    if (!font) return L"<none>";
    std::wstring name = nameOf(font);
    font->Release();
    return name;
}

class FramePersistence : public ::testing::Test {
protected:
    void SetUp() override {
        OleInitialize(nullptr);
        ASSERT_TRUE(library_.loaded());
        ASSERT_EQ(
            library_.getClassObject(CLSID_VxFrame3D, IID_IClassFactory, reinterpret_cast<void**>(&factory_)),
            S_OK);
    }
    void TearDown() override {
        if (factory_) factory_->Release();
        OleUninitialize();
    }
    std::unique_ptr<vxtest::Container> host() {
        auto container = std::make_unique<vxtest::Container>(DIID_DVxFrame3DEvents);
        EXPECT_EQ(container->create(factory_), S_OK);
        return container;
    }
    // A frame with every property away from its default, a bold Arial font and the custom pointer.
    std::unique_ptr<vxtest::Container> dressedFrame() {
        auto frame = host();
        for (const Setting& s : kSettings)
            EXPECT_EQ(frame->putLong(s.name, s.value), S_OK) << s.name;
        VARIANT caption;
        V_VT(&caption) = VT_BSTR;
        V_BSTR(&caption) = SysAllocString(L"Dock 7");
        frame->put(L"Caption", caption);
        VariantClear(&caption);
        FONTDESC description = {sizeof(FONTDESC),
                                const_cast<LPOLESTR>(L"Arial"),
                                {{120000, 0}},
                                FW_BOLD,
                                ANSI_CHARSET,
                                FALSE,
                                FALSE,
                                FALSE};
        IFontDisp* font = nullptr;
        OleCreateFontIndirect(&description, IID_IFontDisp, reinterpret_cast<void**>(&font));
        VARIANT value;
        V_VT(&value) = VT_DISPATCH;
        V_DISPATCH(&value) = font;
        IDispatch* dispatch = frame->as<IDispatch>(IID_IDispatch);
        DISPID put = DISPID_PROPERTYPUT;
        DISPPARAMS params = {&value, &put, 1, 1};
        EXPECT_EQ(dispatch->Invoke(DISPID_FONT, IID_NULL, 0, DISPATCH_PROPERTYPUTREF, &params, nullptr,
                                   nullptr, nullptr),
                  S_OK);
        dispatch->Release();
        font->Release();
        EXPECT_EQ(frame->putLong(L"MousePointer", 99), S_OK);
        return frame;
    }
    Bytes saved(vxtest::Container& frame) {
        IPersistStreamInit* persist = frame.as<IPersistStreamInit>(IID_IPersistStreamInit);
        IStream* stream = memoryStream();
        EXPECT_EQ(persist->Save(stream, FALSE), S_OK);
        Bytes bytes = contents(stream);
        stream->Release();
        persist->Release();
        return bytes;
    }
    HRESULT load(vxtest::Container& frame, const Bytes& bytes) {
        IPersistStreamInit* persist = frame.as<IPersistStreamInit>(IID_IPersistStreamInit);
        IStream* stream = memoryStream(bytes);
        HRESULT hr = persist->Load(stream);
        stream->Release();
        persist->Release();
        return hr;
    }
    void expectDressed(vxtest::Container& frame) {
        for (const Setting& s : kSettings)
            EXPECT_EQ(frame.getLong(s.name), s.name == std::wstring(L"Enabled") ? 0 : s.value) << s.name;
        EXPECT_EQ(text(frame, L"Caption"), L"Dock 7");
        EXPECT_EQ(frame.getLong(L"MousePointer"), 99);
        EXPECT_EQ(fontName(frame), shownFace(L"Arial", 120000, FW_BOLD));
        IFont* font = fontOf(frame);
        ASSERT_NE(font, nullptr);
        BOOL bold = FALSE;
        font->get_Bold(&bold);
        EXPECT_TRUE(bold);
        font->Release();
    }

    vxtest::ControlLibrary library_{VXFRAME_OCX};
    IClassFactory* factory_ = nullptr;
};

TEST_F(FramePersistence, StreamHoldsTheHeaderTheBlockAndTheCaptionAndLoadsBack) {
    auto frame = dressedFrame();
    const Bytes bytes = saved(*frame);
    ASSERT_GT(bytes.size(), sizeof kHeader + sizeof kBlockAndCaption);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 12), Bytes(kHeader, kHeader + 12));
    EXPECT_EQ(Bytes(bytes.begin() + 12, bytes.begin() + 12 + sizeof kBlockAndCaption),
              Bytes(kBlockAndCaption, kBlockAndCaption + sizeof kBlockAndCaption));
    // The stock properties follow: the font with its class id, then the mouse icon (none), the pointer.
    CLSID fontClass;
    std::memcpy(&fontClass, bytes.data() + 12 + sizeof kBlockAndCaption, sizeof fontClass);
    EXPECT_TRUE(IsEqualCLSID(fontClass, CLSID_StdFont));
    EXPECT_EQ(bytes[bytes.size() - 2], 99);
    EXPECT_EQ(bytes[bytes.size() - 1], 0);

    ULARGE_INTEGER size = {};
    IPersistStreamInit* persist = frame->as<IPersistStreamInit>(IID_IPersistStreamInit);
    EXPECT_EQ(persist->GetSizeMax(&size), S_OK);
    EXPECT_EQ(size.QuadPart, bytes.size());
    persist->Release();

    auto copy = host();
    ASSERT_EQ(load(*copy, bytes), S_OK);
    EXPECT_EQ(saved(*copy), bytes);
    expectDressed(*copy);
}

// Written by hand, byte for byte: what one build saves the other reads.
TEST_F(FramePersistence, HandWrittenStreamLoadsAndTakesTheDefaultFontWhenNoneIsStored) {
    Bytes bytes(kHeader, kHeader + sizeof kHeader);
    bytes.insert(bytes.end(), kBlockAndCaption, kBlockAndCaption + sizeof kBlockAndCaption);
    bytes.insert(bytes.end(), 32, 0); // no font, no mouse icon: the null class id twice
    bytes.push_back(11);              // MousePointer: hourglass
    bytes.push_back(0);
    auto frame = host();
    ASSERT_EQ(load(*frame, bytes), S_OK);
    EXPECT_EQ(frame->getLong(L"Bevel"), -3);
    EXPECT_EQ(frame->getLong(L"BevelShade"), -60);
    EXPECT_EQ(static_cast<DWORD>(frame->getLong(L"BackColor")), 0x80000005u);
    EXPECT_EQ(frame->getLong(L"MarginBottom"), 6);
    EXPECT_EQ(text(*frame, L"Caption"), L"Dock 7");
    EXPECT_EQ(frame->getLong(L"MousePointer"), 11);
    EXPECT_EQ(fontName(*frame), shownFace(L"MS Sans Serif"));
}

TEST_F(FramePersistence, StorageKeepsTheStreamUnderItsName) {
    auto frame = dressedFrame();
    IStorage* storage = nullptr;
    ASSERT_EQ(StgCreateDocfile(nullptr,
                               STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_DELETEONRELEASE, 0,
                               &storage),
              S_OK);
    IPersistStorage* persist = frame->as<IPersistStorage>(IID_IPersistStorage);
    ASSERT_EQ(persist->Save(storage, FALSE), S_OK);
    persist->SaveCompleted(nullptr);
    persist->Release();
    IStream* stream = nullptr;
    ASSERT_EQ(
        storage->OpenStream(L"CONTROLSAVESTREAM", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream),
        S_OK);
    EXPECT_EQ(contents(stream), saved(*frame));
    stream->Release();

    auto copy = host();
    IPersistStorage* loader = copy->as<IPersistStorage>(IID_IPersistStorage);
    ASSERT_EQ(loader->Load(storage), S_OK);
    loader->Release();
    expectDressed(*copy);
    storage->Release();
}

TEST_F(FramePersistence, BagHoldsEveryPropertyByNameAndLoadsBack) {
    auto frame = dressedFrame();
    vxtest::PropertyBag bag;
    IPersistPropertyBag* persist = frame->as<IPersistPropertyBag>(IID_IPersistPropertyBag);
    ASSERT_EQ(persist->Save(&bag, TRUE, TRUE), S_OK);
    persist->Release();
    const std::vector<std::wstring> expected = {
        L"_Version",      L"_ExtentX",    L"_ExtentY",        L"AlignHorizontal",
        L"AlignVertical", L"AutoSize",    L"Bevel",           L"BevelLight",
        L"BevelShade",    L"LightSource", L"OutLine",         L"ShadowDarkness",
        L"ShadowWidth",   L"MarginLeft",  L"MarginTop",       L"MarginRight",
        L"MarginBottom",  L"Enabled",     L"ShadowBaseColor", L"BackColor",
        L"ForeColor",     L"Caption",     L"_StockProps",     L"Font",
        L"MouseIcon",     L"MousePointer"};
    EXPECT_EQ(bag.names(), expected);
    EXPECT_EQ(V_VT(bag.find(L"Bevel")), VT_I2);
    EXPECT_EQ(V_I2(bag.find(L"Bevel")), -3);
    EXPECT_EQ(V_VT(bag.find(L"Enabled")), VT_BOOL);
    EXPECT_EQ(V_VT(bag.find(L"BackColor")), VT_I4);
    EXPECT_EQ(V_I4(bag.find(L"_StockProps")), 4);
    EXPECT_EQ(V_I4(bag.find(L"_Version")), 65537);
    EXPECT_EQ(V_VT(bag.find(L"Font")), VT_DISPATCH);

    auto copy = host();
    IPersistPropertyBag* loader = copy->as<IPersistPropertyBag>(IID_IPersistPropertyBag);
    ASSERT_EQ(loader->Load(&bag, nullptr), S_OK);
    loader->Release();
    expectDressed(*copy);
}

// Missing names and values that do not convert or lie out of range give the defaults; a font is
// read only when the stock bits say it was stored.
TEST_F(FramePersistence, BagWithoutOrWithWrongValuesFallsBackToTheDefaults) {
    vxtest::PropertyBag bag;
    VARIANT value;
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = SysAllocString(L"deep");
    bag.set(L"Bevel", value);
    bag.set(L"Font", value);
    VariantClear(&value);
    V_VT(&value) = VT_I4;
    V_I4(&value) = 99;
    bag.set(L"LightSource", value);
    V_I4(&value) = 4;
    bag.set(L"_StockProps", value);
    V_I4(&value) = 16;
    bag.set(L"MousePointer", value);
    V_VT(&value) = VT_I2;
    V_I2(&value) = 7;
    bag.set(L"ShadowWidth", value);
    auto frame = host();
    frame->putLong(L"Bevel", 5);
    IPersistPropertyBag* loader = frame->as<IPersistPropertyBag>(IID_IPersistPropertyBag);
    ASSERT_EQ(loader->Load(&bag, nullptr), S_OK);
    loader->Release();
    EXPECT_EQ(frame->getLong(L"Bevel"), 1);
    EXPECT_EQ(frame->getLong(L"LightSource"), 0);
    EXPECT_EQ(frame->getLong(L"MousePointer"), 0);
    EXPECT_EQ(frame->getLong(L"ShadowWidth"), 7);
    EXPECT_EQ(frame->getLong(L"BackColor"), RGB(0x10, 0x20, 0x30)); // the site's ambient colour
    EXPECT_EQ(text(*frame, L"Caption"), L"Frame1");
    EXPECT_EQ(fontName(*frame), shownFace(L"MS Sans Serif"));
}

TEST_F(FramePersistence, DamagedStreamsAreRefusedAndTheControlStaysAsItWas) {
    auto good = dressedFrame();
    const Bytes valid = saved(*good);
    auto frame = host();
    frame->putLong(L"Bevel", 7);
    const Bytes before = saved(*frame);

    Bytes wrongMagic = valid;
    wrongMagic[0] = 0x79;
    EXPECT_EQ(load(*frame, wrongMagic), E_UNEXPECTED);
    Bytes wrongSize = valid;
    wrongSize[8] = 16;
    EXPECT_EQ(load(*frame, wrongSize), E_UNEXPECTED);
    Bytes outOfRange = valid;
    outOfRange[12 + 6] = 31; // Bevel 31
    EXPECT_EQ(load(*frame, outOfRange), E_UNEXPECTED);
    Bytes hugeCaption = valid;
    hugeCaption[12 + 44 + 3] = 0x7F;
    EXPECT_EQ(load(*frame, hugeCaption), E_UNEXPECTED);
    Bytes strangeFont = valid;
    strangeFont[12 + sizeof kBlockAndCaption] ^= 0x01; // a class other than the standard font
    EXPECT_EQ(load(*frame, strangeFont), E_UNEXPECTED);
    // Cut anywhere, the stream is refused.
    for (size_t length = 0; length < valid.size(); ++length)
        EXPECT_TRUE(FAILED(load(*frame, Bytes(valid.begin(), valid.begin() + length)))) << length;
    EXPECT_EQ(saved(*frame), before);
    EXPECT_EQ(frame->getLong(L"Bevel"), 7);
}

TEST_F(FramePersistence, InitNewAndDirtyState) {
    auto frame = dressedFrame();
    IPersistStreamInit* persist = frame->as<IPersistStreamInit>(IID_IPersistStreamInit);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    IStream* stream = memoryStream();
    EXPECT_EQ(persist->Save(stream, TRUE), S_OK);
    stream->Release();
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    EXPECT_EQ(persist->InitNew(), S_OK);
    EXPECT_EQ(frame->getLong(L"Bevel"), 1);
    EXPECT_EQ(frame->getLong(L"MousePointer"), 0);
    EXPECT_EQ(text(*frame, L"Caption"), L"Frame1");
    EXPECT_EQ(persist->Load(nullptr), E_POINTER);
    persist->Release();
}

// Whatever a loader is fed, it either refuses (and nothing changes) or takes values the
// properties accept; a fixed seed keeps the run the same every time.
TEST_F(FramePersistence, FuzzedStreamsAndBagsNeverBreakTheControl) {
    auto good = dressedFrame();
    const Bytes valid = saved(*good);
    auto frame = host();
    auto copy = host();
    std::mt19937 random(20261208);
    int refused = 0, taken = 0;
    for (int round = 0; round < 600; ++round) {
        Bytes damaged = valid;
        switch (random() % 3) {
        case 0:
            for (int flips = 1 + random() % 4; flips > 0; --flips)
                damaged[random() % damaged.size()] = static_cast<BYTE>(random());
            break;
        case 1:
            damaged.resize(random() % damaged.size());
            break;
        default:
            damaged.insert(damaged.begin() + 12 + random() % (damaged.size() - 12),
                           static_cast<BYTE>(random()));
            break;
        }
        const Bytes before = saved(*frame);
        if (FAILED(load(*frame, damaged))) {
            ++refused;
            ASSERT_EQ(saved(*frame), before) << "round " << round;
            continue;
        }
        ++taken;
        // What was taken saves and loads again unchanged.
        const Bytes now = saved(*frame);
        ASSERT_EQ(load(*copy, now), S_OK) << "round " << round;
        ASSERT_EQ(saved(*copy), now) << "round " << round;
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(taken, 0);

    const VARTYPE types[] = {VT_I2, VT_I4, VT_BOOL, VT_BSTR, VT_R8, VT_EMPTY};
    for (int round = 0; round < 200; ++round) {
        vxtest::PropertyBag bag;
        for (const wchar_t* name : kAllNumbers) {
            if (random() % 3 == 0) continue;
            VARIANT value;
            VariantInit(&value);
            V_VT(&value) = types[random() % 6];
            const long number = static_cast<long>(random() % 700) - 350;
            if (V_VT(&value) == VT_I2) V_I2(&value) = static_cast<short>(number);
            if (V_VT(&value) == VT_I4) V_I4(&value) = number;
            if (V_VT(&value) == VT_BOOL) V_BOOL(&value) = number & 1 ? VARIANT_TRUE : VARIANT_FALSE;
            if (V_VT(&value) == VT_R8) V_R8(&value) = number / 3.0;
            if (V_VT(&value) == VT_BSTR) V_BSTR(&value) = SysAllocString(number & 1 ? L"12" : L"twelve");
            bag.set(name, value);
            VariantClear(&value);
        }
        IPersistPropertyBag* loader = frame->as<IPersistPropertyBag>(IID_IPersistPropertyBag);
        ASSERT_EQ(loader->Load(&bag, nullptr), S_OK);
        loader->Release();
        // Every value read back is one its property accepts.
        for (const wchar_t* name : kAllNumbers) {
            const long value = frame->getLong(name);
            ASSERT_NE(value, -99999) << name;
            if (std::wstring(name) == L"MousePointer") {
                ASSERT_TRUE((value >= 0 && value <= 15) || value == 99) << value;
            } else if (std::wstring(name) != L"Enabled" &&
                       std::wstring(name).find(L"Color") == std::wstring::npos) {
                ASSERT_EQ(frame->putLong(name, value), S_OK) << name << " " << value;
            }
        }
    }
}

} // namespace
