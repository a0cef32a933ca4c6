#include "connection_points.h"

#include "snapshot_enumerator.h"

namespace framework {


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
