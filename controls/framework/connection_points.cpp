#include "connection_points.h"

namespace framework {

namespace {

// A snapshot enumerator over reference-holding items, shared by both enumerator kinds.
template <class Interface, class Item> class SnapshotEnumerator final : public Interface {
public:
    SnapshotEnumerator(const IID& iid, std::vector<Item> items, ULONG position = 0)
        : iid_(iid), items_(std::move(items)), position_(position) {
        for (Item& item : items_)
            addRef(item);
    }
    ~SnapshotEnumerator() {
        for (Item& item : items_)
            release(item);
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
            addRef(out[done]);
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
    static void addRef(IConnectionPoint* point) { point->AddRef(); }
    static void release(IConnectionPoint* point) { point->Release(); }
    static void addRef(CONNECTDATA& data) { data.pUnk->AddRef(); }
    static void release(CONNECTDATA& data) { data.pUnk->Release(); }

    LONG refs_ = 1;
    IID iid_;
    std::vector<Item> items_;
    ULONG position_;
};

} // namespace

ConnectionPoint::~ConnectionPoint() {
    clear();
}

void ConnectionPoint::clear() {
    auto sinks = std::move(sinks_);
    sinks_.clear();
    for (auto& [cookie, sink] : sinks)
        sink->Release();
}

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = iid_;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container) return E_POINTER;
    *container = owner_;
    owner_->AddRef();
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    IUnknown* typed = nullptr;
    if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(&typed))) || !typed)
        return CONNECT_E_CANNOTCONNECT;
    *cookie = nextCookie_++;
    sinks_.emplace_back(*cookie, typed);
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) {
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->first != cookie) continue;
        IUnknown* sink = it->second;
        sinks_.erase(it);
        sink->Release();
        return S_OK;
    }
    return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** connections) {
    if (!connections) return E_POINTER;
    std::vector<CONNECTDATA> items;
    for (auto& [cookie, sink] : sinks_)
        items.push_back(CONNECTDATA{sink, cookie});
    *connections = new SnapshotEnumerator<IEnumConnections, CONNECTDATA>(IID_IEnumConnections, items);
    return S_OK;
}

std::vector<IUnknown*> ConnectionPoint::sinks() const {
    std::vector<IUnknown*> result;
    for (auto& [cookie, sink] : sinks_) {
        sink->AddRef();
        result.push_back(sink);
    }
    return result;
}

HRESULT createConnectionPointEnumerator(IConnectionPoint* const* points, ULONG count,
                                        IEnumConnectionPoints** out) {
    if (!out) return E_POINTER;
    std::vector<IConnectionPoint*> items(points, points + count);
    *out = new SnapshotEnumerator<IEnumConnectionPoints, IConnectionPoint*>(IID_IEnumConnectionPoints, items);
    return S_OK;
}

} // namespace framework
