// One connection point of an object (the rules of com/connection.h): the sinks advised on it and
// the calls out to them. It lives inside its object and counts its references on the object.
#pragma once

#include <functional>
#include <vector>

#include "com/connection.h"
#include "com/dispatch.h"
#include "com/server/object.h"

namespace com::server {

class ConnectionPoint final : public IConnectionPoint {
  public:
    // `owner` is the object's container interface (its references are the object's). With
    // `dispatchSinks` a sink that answers only IDispatch is taken too, as event interfaces are.
    ConnectionPoint(IConnectionPointContainer* owner, const IID& iid, bool dispatchSinks);
    ~ConnectionPoint();
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return owner_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return owner_->Release(); }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE
    GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;

    const IID& iid() const { return iid_; }
    bool empty() const { return sinks_.empty(); }
    // Calls `call` with each sink advised when the call starts (as the interface of this point,
    // or IDispatch), holding a reference meanwhile; a sink unadvised during the round is skipped.
    void ForEachSink(const std::function<void(IUnknown* sink)>& call);
    // Releases every sink.
    void Clear();

  private:
    struct Sink {
        DWORD cookie;
        IUnknown* sink;
    };
    bool Advised(DWORD cookie) const;

    IConnectionPointContainer* owner_;
    IID iid_;
    bool dispatchSinks_;
    DWORD nextCookie_ = 1;
    std::vector<Sink> sinks_;
};

// Calls event `id` on every IDispatch sink of `point` with DISPATCH_METHOD, the arguments given
// in declaration order (they go out in reverse, as Invoke takes them). Sink failures are ignored.
void FireEvent(ConnectionPoint& point, DISPID id, std::vector<VARIANT> arguments = {});

// Tells every IPropertyNotifySink of `point` that property `id` changed.
void NotifyChanged(ConnectionPoint& point, DISPID id);

}  // namespace com::server
