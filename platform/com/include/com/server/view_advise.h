// What an object keeps of its container's view sink (com/view_object.h): one sink with its
// aspects and flags, the rules of SetAdvise and GetAdvise, and the notice of a changed picture.
// Used on the object's thread only.
#pragma once

#include "com/view_object.h"

namespace com::server {

class ViewAdvise {
  public:
    ViewAdvise() = default;
    ~ViewAdvise() { Clear(); }
    ViewAdvise(const ViewAdvise&) = delete;
    ViewAdvise& operator=(const ViewAdvise&) = delete;

    // IViewObject::SetAdvise: keeps the sink (with a reference) in place of the one before; null
    // drops it. ADVF_PRIMEFIRST sends a first notice at once.
    HRESULT Set(DWORD aspects, DWORD advf, IAdviseSink* sink);
    // IViewObject::GetAdvise.
    HRESULT Get(DWORD* aspects, DWORD* advf, IAdviseSink** sink) const;
    // Tells the sink that the aspect's picture changed, when it was advised for that aspect; a
    // sink advised ADVF_ONLYONCE is dropped after it.
    void SendOnViewChange(DWORD aspect);
    // Drops the sink (the object is closed).
    void Clear();

  private:
    IAdviseSink* sink_ = nullptr;
    DWORD aspects_ = 0;
    DWORD advf_ = 0;
};

}  // namespace com::server
