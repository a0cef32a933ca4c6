// The class object handed out by DllGetClassObject, and the server's unload check.
#include <new>

#include "object_table.h"
#include "server.h"

namespace framework {

namespace {

// Three words: the interface pointer, the reference count and the index of the table entry.
class ClassObject final : public IClassFactory {
public:
    explicit ClassObject(int index) : index_(index) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG refs = InterlockedDecrement(&refs_);
        if (refs == 0) {
            this->~ClassObject();
            HeapFree(processHeap(), 0, this);
        }
        return refs;
    }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_INVALIDARG;
        *out = nullptr;
        IUnknown* object = createFunction()(outer);
        if (!object) return E_OUTOFMEMORY;
        if (outer) {
            // An aggregated object only ever hands out its inner unknown.
            if (!IsEqualIID(iid, IID_IUnknown)) {
                object->Release();
                return E_INVALIDARG;
            }
            *out = object;
            return S_OK;
        }
        HRESULT hr = object->QueryInterface(iid, out);
        object->Release();
        return hr;
    }

    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            lockServer();
        else
            unlockServer();
        return S_OK;
    }

private:
    CreateFunction createFunction() const {
        const ObjectTableEntry& entry = objectTable()[index_];
        // Every description kind starts with the CLSID, the name and the creation function.
        if (entry.kind == kPropertyPage) return static_cast<PageDescription*>(entry.description)->create;
        return static_cast<ControlDescription*>(entry.description)->create;
    }

    LONG refs_ = 1;
    int index_;
};
static_assert(sizeof(void*) != 4 || sizeof(ClassObject) == 12);

const CLSID& entryClsid(const ObjectTableEntry& entry) {
    return **static_cast<const CLSID* const*>(entry.description);
}

} // namespace

} // namespace framework

using namespace framework;

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    int index = 0;
    ObjectTableEntry* table = objectTable();
    while (table[index].kind != kEndOfTable && !IsEqualCLSID(entryClsid(table[index]), clsid))
        ++index;
    if (table[index].kind == kEndOfTable) return CLASS_E_CLASSNOTAVAILABLE;

    void* memory = HeapAlloc(processHeap(), 0, sizeof(ClassObject));
    if (!memory) return E_OUTOFMEMORY;
    auto* classObject = new (memory) ClassObject(index);
    HRESULT hr = classObject->QueryInterface(iid, out);
    classObject->Release();
    return hr;
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
    return serverLockCount() == 0 ? S_OK : S_FALSE;
}
