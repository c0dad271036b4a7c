// Sinks of one connection point and the calls out to them.
#include "com/server/connection_point.h"

#include <algorithm>

namespace com::server {

ConnectionPoint::ConnectionPoint(IConnectionPointContainer* owner, const IID& iid,
                                 bool dispatchSinks)
    : owner_(owner), iid_(iid), dispatchSinks_(dispatchSinks) {}

ConnectionPoint::~ConnectionPoint() {
    Clear();
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IConnectionPoint)
        return Hand(static_cast<IConnectionPoint*>(this), ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (iid == nullptr)
        return E_POINTER;
    *iid = iid_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE
ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (container == nullptr)
        return E_POINTER;
    return Hand(owner_, reinterpret_cast<void**>(container));
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (sink == nullptr || cookie == nullptr)
        return E_POINTER;
    *cookie = 0;
    void* pointer = nullptr;
    if (FAILED(sink->QueryInterface(iid_, &pointer)) &&
        (!dispatchSinks_ || FAILED(sink->QueryInterface(IID_IDispatch, &pointer))))
        return CONNECT_E_CANNOTCONNECT;
    *cookie = nextCookie_++;
    sinks_.push_back({*cookie, static_cast<IUnknown*>(pointer)});
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::Unadvise(DWORD cookie) {
    auto found = std::find_if(sinks_.begin(), sinks_.end(),
                              [cookie](const Sink& sink) { return sink.cookie == cookie; });
    if (found == sinks_.end())
        return CONNECT_E_NOCONNECTION;
    IUnknown* sink = found->sink;
    sinks_.erase(found);
    sink->Release();
    return S_OK;
}

bool ConnectionPoint::Advised(DWORD cookie) const {
    return std::any_of(sinks_.begin(), sinks_.end(),
                       [cookie](const Sink& sink) { return sink.cookie == cookie; });
}

void ConnectionPoint::ForEachSink(const std::function<void(IUnknown*)>& call) {
    const std::vector<Sink> round = sinks_;
    for (const Sink& sink : round) {
        if (!Advised(sink.cookie))
            continue;
        Ref<IUnknown> held(sink.sink);
        call(held.get());
    }
}

void ConnectionPoint::Clear() {
    std::vector<Sink> dropped;
    dropped.swap(sinks_);
    for (const Sink& sink : dropped)
        sink.sink->Release();
}

void FireEvent(ConnectionPoint& point, DISPID id, std::vector<VARIANT> arguments) {
    std::reverse(arguments.begin(), arguments.end());
    point.ForEachSink([&](IUnknown* sink) {
        DISPPARAMS params{arguments.empty() ? nullptr : arguments.data(), nullptr,
                          static_cast<UINT>(arguments.size()), 0};
        static_cast<IDispatch*>(sink)->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr,
                                              nullptr, nullptr);
    });
}

void NotifyChanged(ConnectionPoint& point, DISPID id) {
    point.ForEachSink(
        [id](IUnknown* sink) { static_cast<IPropertyNotifySink*>(sink)->OnChanged(id); });
}

}  // namespace com::server
