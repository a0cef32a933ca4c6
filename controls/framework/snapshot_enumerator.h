// An enumerator over a snapshot of items, for the enumerator interfaces of OLE (connection points,
// connections, verbs): it holds its own copy of every item and hands out another copy each time.
#pragma once

#include <ocidl.h>
#include <ole2.h>
#include <olectl.h>
#include <windows.h>

#include <utility>
#include <vector>

namespace framework {

// How an item is held and let go of: interfaces by reference count, a verb by its own copy of the
// name (the caller frees the copy it is handed with the task allocator).
inline void holdItem(IConnectionPoint* point) { point->AddRef(); }
inline void dropItem(IConnectionPoint* point) { point->Release(); }
inline void holdItem(CONNECTDATA& data) { data.pUnk->AddRef(); }
inline void dropItem(CONNECTDATA& data) { data.pUnk->Release(); }
void holdItem(OLEVERB& verb);
void dropItem(OLEVERB& verb);

template <class Interface, class Item> class SnapshotEnumerator final : public Interface {
public:
    SnapshotEnumerator(const IID& iid, std::vector<Item> items, ULONG position = 0)
        : iid_(iid), items_(std::move(items)), position_(position) {
        for (Item& item : items_)
            holdItem(item);
    }
    ~SnapshotEnumerator() {
        for (Item& item : items_)
            dropItem(item);
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, iid_)) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG refs = InterlockedDecrement(&refs_);
        if (refs == 0) delete this;
        return refs;
    }

    STDMETHODIMP Next(ULONG count, Item* out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG done = 0;
        while (done < count && position_ < items_.size()) {
            out[done] = items_[position_++];
            holdItem(out[done]);
            ++done;
        }
        if (fetched) *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        ULONG left = static_cast<ULONG>(items_.size()) - position_;
        position_ += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(Interface** out) override {
        if (!out) return E_POINTER;
        *out = new SnapshotEnumerator(iid_, items_, position_);
        return S_OK;
    }

private:
    LONG refs_ = 1;
    IID iid_;
    std::vector<Item> items_;
    ULONG position_;
};

} // namespace framework
