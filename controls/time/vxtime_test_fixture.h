// What the time control's tests share: vxtime.ocx loaded by path (no registry), its class object,
// forms hosting a control as a running program or a designer, and property access by name.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "test_container.h"
#include "vxtime.h"

namespace vxtimetest {

class HostedTime : public ::testing::Test {
protected:
    void SetUp() override {
        OleInitialize(nullptr);
        ASSERT_TRUE(library_.loaded());
        ASSERT_EQ(
            library_.getClassObject(CLSID_VxTime, IID_IClassFactory, reinterpret_cast<void**>(&factory_)),
            S_OK);
    }
    void TearDown() override {
        if (factory_) factory_->Release();
        OleUninitialize();
    }
    // A new control on its own form; userMode false is a form designer.
    std::unique_ptr<vxtest::Container> host(bool userMode = true) {
        vxtest::Ambients ambients;
        ambients.userMode = userMode;
        auto container = std::make_unique<vxtest::Container>(DIID_DVxTimeEvents, ambients);
        EXPECT_EQ(container->create(factory_), S_OK);
        return container;
    }

    vxtest::ControlLibrary library_{VXTIME_OCX};
    IClassFactory* factory_ = nullptr;
};

inline HRESULT putText(vxtest::Container& time, const wchar_t* name, const wchar_t* text) {
    VARIANT value;
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = SysAllocString(text);
    HRESULT hr = time.put(name, value);
    VariantClear(&value);
    return hr;
}

// The property as a script reads it; what is no text shows as such.
inline std::wstring getText(vxtest::Container& time, const wchar_t* name) {
    VARIANT value;
    if (FAILED(time.get(name, &value))) return L"<failed>";
    if (V_VT(&value) != VT_BSTR) return L"<not text>";
    std::wstring text(V_BSTR(&value), SysStringLen(V_BSTR(&value)));
    VariantClear(&value);
    return text;
}

} // namespace vxtimetest
