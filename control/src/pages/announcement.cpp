// What the control tells a container about its property pages: the eight pages in the order
// the user sees them, and the page that edits the indexed list properties.
#include <algorithm>

#include "acq_control.h"
#include "com/runtime.h"
#include "pages/page_ids.h"

namespace mqacq32 {
namespace {

// The list properties, which only the Lists page edits.
constexpr DISPID kListProperties[] = {dispid::ChannelList, dispid::GainList, dispid::FilterList,
                                      dispid::InhibitList, dispid::DIOList};

}  // namespace

HRESULT STDMETHODCALLTYPE AcqControl::GetPages(CAUUID* pages) {
    if (pages == nullptr)
        return E_POINTER;
    constexpr std::size_t kCount = std::size(pages::kAnnouncedPages);
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(kCount * sizeof(GUID)));
    if (pages->pElems == nullptr) {
        pages->cElems = 0;
        return E_OUTOFMEMORY;
    }
    for (std::size_t i = 0; i < kCount; ++i)
        pages->pElems[i] = pages::kAnnouncedPages[i]->clsid;
    pages->cElems = static_cast<ULONG>(kCount);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AcqControl::MapPropertyToPage(DISPID id, CLSID* page) {
    if (page == nullptr)
        return E_POINTER;
    if (std::find(std::begin(kListProperties), std::end(kListProperties), id) !=
        std::end(kListProperties)) {
        *page = pages::kListsPage.clsid;
        return S_OK;
    }
    *page = CLSID_NULL;
    return PERPROP_E_NOPAGEAVAILABLE;
}

}  // namespace mqacq32
