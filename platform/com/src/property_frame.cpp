// The property frame: makes the pages of a set of objects through the class registry, gives each
// its site and the objects, and routes the window's Apply, OK, Cancel and Help to them.
#include <string>
#include <utility>

#include "com/property_pages.h"
#include "com/runtime.h"

namespace com {
namespace {

PropertyFrameWindow* g_window = nullptr;

// A caller-owned page text, freed here.
std::string TakeText(LPOLESTR text) {
    std::string narrow;
    for (LPOLESTR c = text; c != nullptr && *c != 0; ++c)
        narrow.push_back(*c < 0x80 ? static_cast<char>(*c) : '?');
    CoTaskMemFree(text);
    return narrow;
}

}  // namespace

// One page's site: forwards the page's status to the frame. Lives as long as the frame holds the
// page; the page's references to it are counted but never free it (the frame does).
class PropertyFrame::Site final : public IPropertyPageSite {
  public:
    Site(PropertyFrame& frame, std::size_t index) : frame_(&frame), index_(index) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IPropertyPageSite) {
            *ppv = static_cast<IPropertyPageSite*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
    HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD flags) override {
        if (frame_ != nullptr)
            frame_->StatusChanged(index_, flags);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* locale) override {
        if (locale == nullptr)
            return E_POINTER;
        *locale = frame_ != nullptr ? frame_->locale_ : 0;
        return S_OK;
    }
    // The frame is closing: a page that kept its site reaches nothing any more.
    void Detach() { frame_ = nullptr; }

  private:
    PropertyFrame* frame_;
    std::size_t index_;
    ULONG refs_ = 1;
};

struct PropertyFrame::Entry {
    IPropertyPage* page = nullptr;
    std::unique_ptr<Site> site;
    PageInfo info;
    bool active = false;
    bool dirty = false;
};

HRESULT PropertyFrame::Create(std::string caption, std::vector<IUnknown*> objects,
                              std::vector<CLSID> pages, LCID locale,
                              std::unique_ptr<PropertyFrame>* frame) {
    if (frame == nullptr)
        return E_POINTER;
    frame->reset();
    if (objects.empty() || pages.empty())
        return E_INVALIDARG;
    for (IUnknown* object : objects)
        if (object == nullptr)
            return E_POINTER;
    std::unique_ptr<PropertyFrame> made(new PropertyFrame());
    made->caption_ = std::move(caption);
    made->locale_ = locale;
    for (IUnknown* object : objects) {
        object->AddRef();
        made->objects_.push_back(object);
    }
    for (const CLSID& clsid : pages) {
        auto entry = std::make_unique<Entry>();
        const HRESULT created =
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                             reinterpret_cast<void**>(&entry->page));
        if (FAILED(created))
            return created;  // `made` gives up the pages made so far
        entry->site = std::make_unique<Site>(*made, made->pages_.size());
        made->pages_.push_back(std::move(entry));
        Entry& added = *made->pages_.back();
        added.page->SetPageSite(added.site.get());
        const HRESULT given = added.page->SetObjects(static_cast<ULONG>(made->objects_.size()),
                                                     made->objects_.data());
        if (FAILED(given))
            return given;
        PROPPAGEINFO info{};
        info.cb = sizeof(info);
        const HRESULT described = added.page->GetPageInfo(&info);
        if (FAILED(described))
            return described;
        added.info.title = TakeText(info.pszTitle);
        TakeText(info.pszDocString);
        added.info.helpFile = TakeText(info.pszHelpFile);
        added.info.helpContext = info.dwHelpContext;
        added.info.size = info.size;
    }
    *frame = std::move(made);
    return S_OK;
}

PropertyFrame::~PropertyFrame() {
    Close();
}

std::size_t PropertyFrame::PageCount() const {
    return pages_.size();
}

const PropertyFrame::PageInfo& PropertyFrame::Info(std::size_t index) const {
    return pages_.at(index)->info;
}

IPropertyPage* PropertyFrame::Page(std::size_t index) const {
    return pages_.at(index)->page;
}

HRESULT PropertyFrame::ShowPage(std::size_t index, HWND parent, const RECT& area) {
    if (closed_ || index >= pages_.size())
        return E_INVALIDARG;
    Entry& entry = *pages_[index];
    if (!entry.active) {
        const HRESULT activated = entry.page->Activate(parent, &area, TRUE);
        if (FAILED(activated))
            return activated;
        entry.active = true;
    }
    if (current_ != index && pages_[current_]->active)
        pages_[current_]->page->Show(SW_HIDE);
    current_ = index;
    return entry.page->Show(SW_SHOW);
}

void PropertyFrame::StatusChanged(std::size_t index, DWORD flags) {
    if (closed_ || index >= pages_.size())
        return;
    if ((flags & PROPPAGESTATUS_DIRTY) != 0)
        pages_[index]->dirty = true;
    if ((flags & PROPPAGESTATUS_CLEAN) != 0)
        pages_[index]->dirty = false;
    if (onStatusChange)
        onStatusChange();
}

bool PropertyFrame::Dirty() const {
    for (const auto& entry : pages_)
        if (entry->dirty || (entry->active && entry->page->IsPageDirty() == S_OK))
            return true;
    return false;
}

HRESULT PropertyFrame::Apply() {
    if (closed_)
        return E_UNEXPECTED;
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        Entry& entry = *pages_[i];
        if (!entry.dirty && !(entry.active && entry.page->IsPageDirty() == S_OK))
            continue;
        const HRESULT applied = entry.page->Apply();
        if (applied != S_OK) {
            if (i != current_ && onShowPage)
                onShowPage(i);
            if (onStatusChange)
                onStatusChange();
            return FAILED(applied) ? applied : E_FAIL;
        }
        entry.dirty = false;
    }
    if (onStatusChange)
        onStatusChange();
    return S_OK;
}

bool PropertyFrame::Ok() {
    return Apply() == S_OK;
}

void PropertyFrame::Help(
    const std::function<void(const std::string& file, DWORD context)>& openHelp) {
    if (closed_ || pages_.empty())
        return;
    Entry& entry = *pages_[current_];
    if (entry.page->Help(nullptr) != E_NOTIMPL)
        return;
    if (!entry.info.helpFile.empty() && openHelp)
        openHelp(entry.info.helpFile, entry.info.helpContext);
}

void PropertyFrame::Close() {
    if (closed_)
        return;
    closed_ = true;
    for (auto& entry : pages_) {
        if (entry->active)
            entry->page->Deactivate();
        entry->page->SetObjects(0, nullptr);
        entry->page->SetPageSite(nullptr);
        entry->site->Detach();
        entry->page->Release();
        entry->page = nullptr;
    }
    for (IUnknown* object : objects_)
        object->Release();
    objects_.clear();
}

PropertyFrameWindow* SetPropertyFrameWindow(PropertyFrameWindow* window) {
    return std::exchange(g_window, window);
}

}  // namespace com

extern "C" HRESULT WINAPI OleCreatePropertyFrame(HWND hwndOwner, UINT x, UINT y,
                                                 LPCOLESTR lpszCaption, ULONG cObjects,
                                                 IUnknown** ppUnk, ULONG cPages,
                                                 const CLSID* pPageClsID, LCID lcid, DWORD,
                                                 LPVOID) {
    if ((cObjects != 0 && ppUnk == nullptr) || (cPages != 0 && pPageClsID == nullptr))
        return E_POINTER;
    if (com::g_window == nullptr)
        return E_FAIL;
    std::string caption;
    for (LPCOLESTR c = lpszCaption; c != nullptr && *c != 0; ++c)
        caption.push_back(*c < 0x80 ? static_cast<char>(*c) : '?');
    std::vector<IUnknown*> objects(ppUnk, ppUnk + cObjects);
    std::vector<CLSID> pages(pPageClsID, pPageClsID + cPages);
    std::unique_ptr<com::PropertyFrame> frame;
    const HRESULT created = com::PropertyFrame::Create(std::move(caption), std::move(objects),
                                                       std::move(pages), lcid, &frame);
    if (FAILED(created))
        return created;
    const HRESULT shown = com::g_window->RunModal(*frame, hwndOwner, x, y);
    frame->Close();
    return shown;
}
