#include "com/server/view_advise.h"

#include <utility>

namespace com::server {

namespace {

constexpr LONG kWholeObject = -1;  // the lindex of DVASPECT_CONTENT

}  // namespace

HRESULT ViewAdvise::Set(DWORD aspects, DWORD advf, IAdviseSink* sink) {
    if (sink != nullptr)
        sink->AddRef();
    IAdviseSink* previous = std::exchange(sink_, sink);
    aspects_ = sink != nullptr ? aspects : 0;
    advf_ = sink != nullptr ? advf : 0;
    if (previous != nullptr)
        previous->Release();
    if (sink != nullptr && (advf & ADVF_PRIMEFIRST) != 0)
        SendOnViewChange((aspects & DVASPECT_CONTENT) != 0 ? DVASPECT_CONTENT : aspects);
    return S_OK;
}

HRESULT ViewAdvise::Get(DWORD* aspects, DWORD* advf, IAdviseSink** sink) const {
    if (aspects != nullptr)
        *aspects = aspects_;
    if (advf != nullptr)
        *advf = advf_;
    if (sink != nullptr) {
        *sink = sink_;
        if (sink_ != nullptr)
            sink_->AddRef();
    }
    return S_OK;
}

void ViewAdvise::SendOnViewChange(DWORD aspect) {
    if (sink_ == nullptr || (aspects_ & aspect) == 0)
        return;
    // Held for the call: the sink may advise again or drop itself from inside it.
    IAdviseSink* sink = sink_;
    sink->AddRef();
    const bool once = (advf_ & ADVF_ONLYONCE) != 0;
    if (once)
        Clear();
    sink->OnViewChange(aspect, kWholeObject);
    sink->Release();
}

void ViewAdvise::Clear() {
    IAdviseSink* sink = std::exchange(sink_, nullptr);
    aspects_ = 0;
    advf_ = 0;
    if (sink != nullptr)
        sink->Release();
}

}  // namespace com::server
