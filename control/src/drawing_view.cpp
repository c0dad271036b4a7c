// The control's view object: its picture drawn for the container, and the container's view sink
// told when the picture changes.
#include "acq_control.h"
#include "drawing.h"

namespace mqacq32 {

namespace {

constexpr LONG kWholeObject = -1;  // the lindex of DVASPECT_CONTENT

}  // namespace

HRESULT STDMETHODCALLTYPE AcqControl::Draw(DWORD aspect, LONG lindex, HDC hdc, LPCRECTL bounds) {
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (lindex != kWholeObject)
        return DV_E_LINDEX;
    if (bounds == nullptr)
        return E_INVALIDARG;
    if (UserMode())
        return S_OK;  // invisible at run time
    const RECT rect{bounds->left, bounds->top, bounds->right, bounds->bottom};
    return DrawDesignPicture(hdc, rect, caption_) ? S_OK : E_INVALIDARG;
}

HRESULT STDMETHODCALLTYPE AcqControl::SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink) {
    return viewAdvise_.Set(aspects, advf, sink);
}

HRESULT STDMETHODCALLTYPE AcqControl::GetAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** sink) {
    return viewAdvise_.Get(aspects, advf, sink);
}

void AcqControl::InvalidateDesignPicture() {
    if (!UserMode())
        viewAdvise_.SendOnViewChange(DVASPECT_CONTENT);
}

}  // namespace mqacq32
