#include "verb_list.h"

#include "strings.h"

#include <algorithm>
#include <new>

namespace framework {

namespace {

// Each OLEVERB handed out owns a copy of its name, which the caller frees with the task allocator.
LPOLESTR taskCopy(const std::wstring& text) {
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(OLECHAR)));
    if (copy) std::copy(text.c_str(), text.c_str() + text.size() + 1, copy);
    return copy;
}

class VerbEnumerator final : public IEnumOLEVERB {
public:
    VerbEnumerator(std::vector<Verb> verbs, size_t position) : verbs_(std::move(verbs)), position_(position) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IEnumOLEVERB) {
            *out = static_cast<IEnumOLEVERB*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return left;
    }

    STDMETHODIMP Next(ULONG wanted, OLEVERB* out, ULONG* fetched) override {
        if (!out || (wanted > 1 && !fetched)) return E_POINTER;
        ULONG given = 0;
        for (; given < wanted && position_ < verbs_.size(); ++given, ++position_) {
            const Verb& verb = verbs_[position_];
            out[given] = {verb.number, taskCopy(verb.name), verb.menuFlags, verb.attributes};
            if (!out[given].lpszVerbName) {
                for (ULONG i = 0; i <= given; ++i)
                    CoTaskMemFree(out[i].lpszVerbName);
                position_ -= given;
                if (fetched) *fetched = 0;
                return E_OUTOFMEMORY;
            }
        }
        if (fetched) *fetched = given;
        return given == wanted ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        const size_t left = verbs_.size() - position_;
        position_ += std::min<size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumOLEVERB** copy) override {
        if (!copy) return E_POINTER;
        *copy = new (std::nothrow) VerbEnumerator(verbs_, position_);
        return *copy ? S_OK : E_OUTOFMEMORY;
    }

private:
    ~VerbEnumerator() = default;
    std::vector<Verb> verbs_;
    size_t position_;
    LONG references_ = 1;
};

} // namespace

// The registry holds no verb list for these controls, so the list comes from the control itself.
// The primary verb opens the property frame as Properties does; only Properties is on the menu,
// so a designer does not show the same action twice. The standard verbs carry no menu text.
std::vector<Verb> controlVerbs() {
    const std::wstring properties = loadWideString(kStringPropertiesVerb);
    return {
        {kVerbProperties, properties, MF_ENABLED, OLEVERBATTRIB_ONCONTAINERMENU},
        {OLEIVERB_PRIMARY, properties, MF_ENABLED, 0},
        {OLEIVERB_SHOW, L"", MF_ENABLED, 0},
        {OLEIVERB_HIDE, L"", MF_ENABLED, 0},
        {OLEIVERB_UIACTIVATE, L"", MF_ENABLED, 0},
        {OLEIVERB_INPLACEACTIVATE, L"", MF_ENABLED, 0},
        {OLEIVERB_PROPERTIES, L"", MF_ENABLED, 0},
    };
}

IEnumOLEVERB* enumerateVerbs(std::vector<Verb> verbs) {
    return new (std::nothrow) VerbEnumerator(std::move(verbs), 0);
}

} // namespace framework
