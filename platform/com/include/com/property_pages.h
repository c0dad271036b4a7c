// Property pages: what an object says about the pages that edit it, the page itself, the site a
// frame gives each page, and the call that shows a frame of pages for a set of objects.
//
// These are the members that objects, pages and frames here use, not the platform's whole
// interfaces (their identifiers are our own, so nothing mistakes one for the other).
//
// Rules kept from the platform:
// - GetPages answers a counted array of class ids allocated with CoTaskMemAlloc; the caller frees
//   pElems with CoTaskMemFree (an empty array has pElems null).
// - A frame gives each page its site (SetPageSite) before anything else, then the objects
//   (SetObjects), and asks GetPageInfo; it activates a page in the frame's window before showing
//   it, and gives up a page in the reverse order: Deactivate, SetObjects(0, null),
//   SetPageSite(null).
// - A page says its state through its site: OnStatusChange(PROPPAGESTATUS_DIRTY) when the user
//   changed something Apply would write. IsPageDirty answers S_OK when dirty, else S_FALSE.
// - Apply writes the page's values to its objects; S_OK clears the page's dirty state. A failed
//   Apply (a value refused) leaves the page as it is, and the frame stays open on it.
// - Help answers E_NOTIMPL when the page has no help of its own: the frame then opens the help
//   file and context of the page's PROPPAGEINFO.
// - The texts of PROPPAGEINFO are the caller's, freed with CoTaskMemFree.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "com/base.h"
#include "com/ole.h"

struct CAUUID {
    ULONG cElems;
    GUID* pElems;
};

struct PROPPAGEINFO {
    ULONG cb;
    LPOLESTR pszTitle;
    SIZEL size;  // pixels
    LPOLESTR pszDocString;
    LPOLESTR pszHelpFile;
    DWORD dwHelpContext;
};

#define PROPPAGESTATUS_DIRTY 0x1u
#define PROPPAGESTATUS_VALIDATE 0x2u
#define PROPPAGESTATUS_CLEAN 0x4u

#define SW_HIDE 0
#define SW_SHOW 5

// What an object answers for its pages, in the order a frame shows them.
struct ISpecifyPropertyPages : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pPages) = 0;

  protected:
    ~ISpecifyPropertyPages() = default;
};

// The frame's side of one page.
struct IPropertyPageSite : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* pLocaleID) = 0;

  protected:
    ~IPropertyPageSite() = default;
};

struct IPropertyPage : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* pPageSite) = 0;
    // Makes the page's window inside `hWndParent` at `pRect`.
    virtual HRESULT STDMETHODCALLTYPE Activate(HWND hWndParent, const RECT* pRect, BOOL bModal) = 0;
    virtual HRESULT STDMETHODCALLTYPE Deactivate() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* pPageInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetObjects(ULONG cObjects, IUnknown** ppUnk) = 0;
    virtual HRESULT STDMETHODCALLTYPE Show(UINT nCmdShow) = 0;
    virtual HRESULT STDMETHODCALLTYPE Move(const RECT* pRect) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsPageDirty() = 0;
    virtual HRESULT STDMETHODCALLTYPE Apply() = 0;
    // `pszHelpDir`: the help directory of the object's type library (may be null).
    virtual HRESULT STDMETHODCALLTYPE Help(LPCOLESTR pszHelpDir) = 0;

  protected:
    ~IPropertyPage() = default;
};

inline constexpr IID IID_ISpecifyPropertyPages = {
    0x6a4c3d0e, 0x21b7, 0x4f0c, {0x9e, 0x51, 0x3b, 0x7d, 0x02, 0xa8, 0x6e, 0x14}};
inline constexpr IID IID_IPropertyPageSite = {
    0x0d3f6b92, 0x8c4e, 0x47a1, {0xb2, 0x6f, 0x91, 0x5e, 0x37, 0xc0, 0x4d, 0x88}};
inline constexpr IID IID_IPropertyPage = {
    0xf18e2a47, 0x5b09, 0x4e3d, {0x8a, 0x72, 0x6c, 0x14, 0xd9, 0x03, 0xb5, 0x2e}};

extern "C" {

// Shows a modal frame for `cObjects` objects with one tab per page class, in the order given,
// owned by `hwndOwner`; returns when the user closes it (OK or Cancel: S_OK either way). Each
// page is made through the class registry (CoCreateInstance for IPropertyPage); a page class
// that cannot be made fails the call with its status before anything shows. E_INVALIDARG for no
// objects or no pages; E_FAIL when no frame window can be shown (no forms runtime).
HRESULT WINAPI OleCreatePropertyFrame(HWND hwndOwner, UINT x, UINT y, LPCOLESTR lpszCaption,
                                      ULONG cObjects, IUnknown** ppUnk, ULONG cPages,
                                      const CLSID* pPageClsID, LCID lcid, DWORD dwReserved,
                                      LPVOID pvReserved);

}  // extern "C"

namespace com {

// A frame's pages and their state, for the window that shows them. The frame owns one reference
// to each page and to each object; the window calls the operations below in response to the
// user. Everything runs on the thread that called OleCreatePropertyFrame.
class PropertyFrame {
  public:
    struct PageInfo {
        std::string title;
        SIZEL size;
        std::string helpFile;
        DWORD helpContext;
    };

    // Makes the pages, gives each its site and the objects, and reads their info.
    static HRESULT Create(std::string caption, std::vector<IUnknown*> objects,
                          std::vector<CLSID> pages, LCID locale,
                          std::unique_ptr<PropertyFrame>* frame);
    ~PropertyFrame();
    PropertyFrame(const PropertyFrame&) = delete;
    PropertyFrame& operator=(const PropertyFrame&) = delete;

    const std::string& Caption() const { return caption_; }
    std::size_t PageCount() const;
    const PageInfo& Info(std::size_t index) const;
    IPropertyPage* Page(std::size_t index) const;

    // Activates the page in `parent` the first time, shows it and hides the one shown before.
    HRESULT ShowPage(std::size_t index, HWND parent, const RECT& area);
    std::size_t CurrentPage() const { return current_; }

    // True while a page reported itself dirty and has not applied since.
    bool Dirty() const;
    // Applies every dirty page in tab order; the first failure stops it, shows that page and
    // answers its status (nothing after it is applied).
    HRESULT Apply();
    // Apply; true when it succeeded and the frame is to close.
    bool Ok();
    // Opens the current page's help: its own, else the help file and context of its info
    // through `openHelp`.
    void Help(const std::function<void(const std::string& file, DWORD context)>& openHelp);
    // Deactivates and gives up every page (also done by the destructor).
    void Close();

    // Called whenever a page's status changes (the window updates its Apply button).
    std::function<void()> onStatusChange;
    // Called when Apply fails on a page other than the one shown: the window shows that tab.
    std::function<void(std::size_t index)> onShowPage;

  private:
    PropertyFrame() = default;
    class Site;
    struct Entry;
    void StatusChanged(std::size_t index, DWORD flags);

    std::string caption_;
    LCID locale_ = 0;
    std::vector<IUnknown*> objects_;
    std::vector<std::unique_ptr<Entry>> pages_;
    std::size_t current_ = 0;
    bool closed_ = false;
};

// The window that shows a frame: the forms runtime installs one. RunModal shows the frame's
// window and returns when the user closed it.
class PropertyFrameWindow {
  public:
    virtual ~PropertyFrameWindow() = default;
    virtual HRESULT RunModal(PropertyFrame& frame, HWND owner, UINT x, UINT y) = 0;
};

// Installs the window that OleCreatePropertyFrame uses (null: none); answers the one before.
PropertyFrameWindow* SetPropertyFrameWindow(PropertyFrameWindow* window);

}  // namespace com
