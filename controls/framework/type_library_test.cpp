// The type libraries of both controls as property browsers read them: colours typed OLE_COLOR and
// window handles OLE_HANDLE with the identities of the standard OLE library, and enumeration
// constants with their help strings.
#include <gtest/gtest.h>

#include <ole2.h>
#include <oleauto.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

std::wstring widen(const char* text) {
    std::wstring wide;
    for (; *text; ++text)
        wide.push_back(static_cast<wchar_t>(*text));
    return wide;
}

class TypeLibrary {
public:
    explicit TypeLibrary(const std::wstring& path) { LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library_); }
    ~TypeLibrary() {
        if (library_) library_->Release();
    }
    ITypeLib* get() const { return library_; }
    ITypeInfo* named(const wchar_t* name) const {
        ITypeInfo* info = nullptr;
        MEMBERID member = 0;
        USHORT found = 1;
        std::wstring copy(name);
        if (library_) library_->FindName(copy.data(), 0, &info, &member, &found);
        return found ? info : nullptr;
    }

private:
    ITypeLib* library_ = nullptr;
};

// The name and identity of the type a property's getter returns (through one pointer).
struct PropertyType {
    std::wstring name;
    GUID guid = GUID_NULL;
};

PropertyType propertyType(ITypeInfo* info, const wchar_t* property) {
    PropertyType result;
    TYPEATTR* attributes = nullptr;
    info->GetTypeAttr(&attributes);
    for (UINT i = 0; i < attributes->cFuncs; ++i) {
        FUNCDESC* function = nullptr;
        info->GetFuncDesc(i, &function);
        BSTR name = nullptr;
        UINT count = 0;
        info->GetNames(function->memid, &name, 1, &count);
        if (function->invkind == INVOKE_PROPERTYGET && name && lstrcmpW(name, property) == 0) {
            // The vtable form returns through its last parameter, the dispatch form directly.
            const TYPEDESC* type = function->cParams == 1 ? &function->lprgelemdescParam[0].tdesc
                                                          : &function->elemdescFunc.tdesc;
            if (type->vt == VT_PTR) type = type->lptdesc;
            ITypeInfo* referenced = nullptr;
            if (type->vt == VT_USERDEFINED && SUCCEEDED(info->GetRefTypeInfo(type->hreftype, &referenced))) {
                BSTR typeName = nullptr;
                referenced->GetDocumentation(MEMBERID_NIL, &typeName, nullptr, nullptr, nullptr);
                result.name = typeName ? typeName : L"";
                SysFreeString(typeName);
                TYPEATTR* refAttributes = nullptr;
                referenced->GetTypeAttr(&refAttributes);
                result.guid = refAttributes->guid;
                referenced->ReleaseTypeAttr(refAttributes);
                referenced->Release();
            }
        }
        SysFreeString(name);
        info->ReleaseFuncDesc(function);
    }
    info->ReleaseTypeAttr(attributes);
    return result;
}

std::vector<std::wstring> constantHelp(ITypeInfo* enumeration) {
    std::vector<std::wstring> texts;
    TYPEATTR* attributes = nullptr;
    enumeration->GetTypeAttr(&attributes);
    for (UINT i = 0; i < attributes->cVars; ++i) {
        VARDESC* variable = nullptr;
        enumeration->GetVarDesc(i, &variable);
        BSTR help = nullptr;
        enumeration->GetDocumentation(variable->memid, nullptr, &help, nullptr, nullptr);
        texts.emplace_back(help ? help : L"<none>");
        SysFreeString(help);
        enumeration->ReleaseVarDesc(variable);
    }
    enumeration->ReleaseTypeAttr(attributes);
    return texts;
}

GUID standardType(const wchar_t* name) {
    TypeLibrary standard(L"stdole2.tlb");
    ITypeInfo* info = standard.named(name);
    GUID guid = GUID_NULL;
    if (!info) return guid;
    TYPEATTR* attributes = nullptr;
    info->GetTypeAttr(&attributes);
    guid = attributes->guid;
    info->ReleaseTypeAttr(attributes);
    info->Release();
    return guid;
}

void expectBrowsableTypes(const TypeLibrary& library, const wchar_t* dualInterface,
                          const std::vector<const wchar_t*>& colours) {
    ITypeInfo* dual = library.named(dualInterface);
    ASSERT_NE(dual, nullptr);
    const GUID colour = standardType(L"OLE_COLOR"), handle = standardType(L"OLE_HANDLE");
    ASSERT_FALSE(IsEqualGUID(colour, GUID_NULL));
    for (const wchar_t* property : colours) {
        PropertyType type = propertyType(dual, property);
        EXPECT_EQ(type.name, L"OLE_COLOR") << property;
        EXPECT_TRUE(IsEqualGUID(type.guid, colour)) << property;
    }
    PropertyType window = propertyType(dual, L"hWnd");
    EXPECT_EQ(window.name, L"OLE_HANDLE");
    EXPECT_TRUE(IsEqualGUID(window.guid, handle));
    dual->Release();
}

TEST(TypeLibraries, FrameTypesColoursHandlesAndMousePointers) {
    TypeLibrary library(widen(VXFRAME_OCX));
    ASSERT_NE(library.get(), nullptr);
    expectBrowsableTypes(library, L"IVxFrame3D", {L"BackColor", L"ForeColor", L"ShadowBaseColor"});
    ITypeInfo* pointers = library.named(L"MousePointerConstants");
    ASSERT_NE(pointers, nullptr);
    std::vector<std::wstring> help = constantHelp(pointers);
    ASSERT_EQ(help.size(), 17u);
    EXPECT_EQ(help[0], L"Default");
    EXPECT_EQ(help[9], L"Size E W");
    EXPECT_EQ(help[16], L"Custom");
    pointers->Release();
    // The events' pixel positions are the standard pixel types, not the HIMETRIC ones.
    ITypeInfo* xpos = library.named(L"OLE_XPOS_PIXELS");
    ASSERT_NE(xpos, nullptr);
    TYPEATTR* attributes = nullptr;
    xpos->GetTypeAttr(&attributes);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, standardType(L"OLE_XPOS_PIXELS")));
    xpos->ReleaseTypeAttr(attributes);
    xpos->Release();
}

TEST(TypeLibraries, TimeEnumerationsCarryTheirHelpStrings) {
    TypeLibrary library(widen(VXTIME_OCX));
    ASSERT_NE(library.get(), nullptr);
    expectBrowsableTypes(library, L"IVxTime", {L"BackColor", L"ForeColor"});
    struct Case {
        const wchar_t* enumeration;
        std::vector<std::wstring> help;
    };
    const Case cases[] = {
        {L"AlignHorizontalConstants", {L"Left", L"Right", L"Center"}},
        {L"AppearanceConstants", {L"Flat", L"3D"}},
        {L"BorderStyleConstants", {L"None", L"Single"}},
        {L"ClipModeConstants", {L"All", L"Data Only"}},
        {L"DataPropertyConstants", {L"Value", L"Number"}},
        {L"HighlightTextConstants", {L"None", L"Field", L"All"}},
        {L"CursorPositionConstants", {L"Default", L"AM/PM", L"Hour", L"Minute", L"Second"}},
        {L"CaptionPositionConstants", {L"Left", L"Top"}},
    };
    for (const Case& c : cases) {
        ITypeInfo* enumeration = library.named(c.enumeration);
        ASSERT_NE(enumeration, nullptr);
        EXPECT_EQ(constantHelp(enumeration), c.help);
        enumeration->Release();
    }
    ITypeInfo* alignment = library.named(L"CaptionAlignmentConstants");
    ASSERT_NE(alignment, nullptr);
    std::vector<std::wstring> help = constantHelp(alignment);
    ASSERT_EQ(help.size(), 9u);
    EXPECT_EQ(help.front(), L"Top Left");
    EXPECT_EQ(help[4], L"Center Center");
    EXPECT_EQ(help.back(), L"Bottom Right");
    alignment->Release();
}

} // namespace
