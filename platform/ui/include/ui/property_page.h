// The class framework's property page: a page made from a dialog template, shown in a property
// frame's window, exchanging its members with its controls and with the properties of the
// page's first object (bound late by name through IDispatch).
//
// A page module derives one class per page from PropertyPage and adds the reference count of
// its own module (AddRef and Release). DoDataExchange lists the page's exchange in one place:
//
//     void DoDataExchange(ui::DataExchange& dx) override {
//         dx.Property("Board", board_, kBoardCombo);  // the object's property <-> the member
//         dx.ComboText(kBoardCombo, board_);            // the member <-> the control
//     }
//
// Loading (when the page opens, when its tab is shown again while it is not dirty, or when the
// page asks with UpdateData(false)) reads every property
// into its member, then shows the members in the controls. Saving (Apply) takes every control
// into its member, validating as it goes; only when all of them were taken are the properties
// written, in the order listed. A value refused by the page's validation shows a message box,
// puts the focus on the control and writes nothing; a property the object refuses shows the
// object's error text; either way Apply fails and the frame stays open on the page.
//
// The user's changes to the page's combo boxes, edits and check boxes make the page dirty (the
// frame enables Apply) and mark the control changed, except on controls marked with
// NotDirtying; changes made while the page is loading do not count. Apply writes only the
// properties of changed controls.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "com/dispatch.h"
#include "com/property_pages.h"
#include "com/variant.h"
#include "ui/forms.h"

namespace ui {

// A dialog template: its size in dialog units and its controls (placed with DialogItem, each
// named DialogControlName(id)).
struct PageTemplate {
    int width;   // dialog units
    int height;  // dialog units
    std::vector<ControlDesign> controls;
};

// The name of the template's control with dialog id `id`.
std::string DialogControlName(int id);
// A control of a dialog template, at its place in dialog units.
ControlDesign PageItem(Kind kind, int id, const char* caption, int x, int y, int width, int height);

// What a page says about itself to the frame.
struct PageDescription {
    std::string caption;
    std::string helpFile;
    std::uint32_t helpContext = 0;
    std::string helpDocument;
};

// The entry of a combo box whose text is `text`, compared without regard to case; -1 when none.
int FindStringExact(const ComboBox& combo, const std::string& text);

class PropertyPage;

// One run of a page's exchange. Thrown inside to end a refused save.
class DataExchange {
  public:
    bool Saving() const { return saving_; }

    // The named property of the page's first object and the member shown in control `id`.
    // Loading reads it (a property that cannot be read leaves the member as it is); saving
    // writes it, once every control was taken, only when the user changed that control since
    // the page last loaded or applied (id 0: always).
    void Property(const char* name, std::string& member, int id);
    void Property(const char* name, std::int16_t& member, int id);
    void Property(const char* name, std::int32_t& member, int id);
    void Property(const char* name, std::uint32_t& member, int id);
    void Property(const char* name, double& member, int id);

    // Controls and members. A combo by its entry index (-1: none) or by its text (loading
    // selects the entry found by FindStringExact, none when not found); an edit (or the edit
    // field of an editable combo) as text or as a number (saving refuses text that is not a
    // number of the member's type); a check box.
    void ComboIndex(int id, std::int16_t& member);
    void ComboText(int id, std::string& member);
    void Text(int id, std::string& member);
    void Text(int id, std::int16_t& member);
    void Text(int id, std::int32_t& member);
    void Text(int id, std::uint32_t& member);
    void Text(int id, double& member);
    // A number shown with a printf format of one double ("%3.4lf").
    void Text(int id, double& member, const char* format);
    void Check(int id, bool& member);
    // Saving: refuses a value outside min..max of the control last taken.
    void MinMax(double value, double min, double max);

  private:
    friend class PropertyPage;
    DataExchange(PropertyPage& page, bool saving) : page_(page), saving_(saving) {}
    [[noreturn]] void Refuse(const std::string& message);
    // Runs the writes a save collected; false (the object's error shown) at the first refusal.
    bool RunWrites();
    // Saving: the member is read when the writes run, after every control was taken.
    void Write(const char* name, int id, std::function<com::Variant()> value);
    bool Read(const char* name, VARTYPE type, VARIANT* value);
    template <typename T>
    void Number(int id, T& member, const char* what, const char* format = nullptr);
    std::string FieldText(int id);
    void SetFieldText(int id, const std::string& text);

    PropertyPage& page_;
    bool saving_;
    int lastControl_ = 0;
    std::vector<std::pair<std::string, std::function<com::Variant()>>> writes_;
};

class PropertyPage : public IPropertyPage {
  public:
    PropertyPage(PageTemplate dialog, PageDescription description);
    virtual ~PropertyPage();

    // IUnknown (AddRef and Release: the page module's class).
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    // IPropertyPage
    HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
    HRESULT STDMETHODCALLTYPE Activate(HWND parent, const RECT* area, BOOL modal) override;
    HRESULT STDMETHODCALLTYPE Deactivate() override;
    HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
    HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
    HRESULT STDMETHODCALLTYPE Show(UINT command) override;
    HRESULT STDMETHODCALLTYPE Move(const RECT* area) override;
    HRESULT STDMETHODCALLTYPE IsPageDirty() override;
    HRESULT STDMETHODCALLTYPE Apply() override;
    HRESULT STDMETHODCALLTYPE Help(LPCOLESTR helpDirectory) override;

    // The page's window while it is active (tests, pictures); null otherwise.
    Form* PageForm() const;

  protected:
    // The exchange of the page's members (see the top of this file).
    virtual void DoDataExchange(DataExchange& dx) = 0;
    // Once the controls exist, before the first load: the page sets its own handlers.
    virtual void BindControls() {}
    // After the first load of the opened page.
    virtual void OnInitDialog() {}
    // After Apply wrote the page's properties.
    virtual void OnApplied() {}
    // The frame's Help: WinHelp with the page's file and context; false for no help of its own.
    virtual bool OnHelp();

    // Runs the exchange; false when a value was refused (the box has been shown).
    bool UpdateData(bool save);
    // Takes fields of the page into members as a save does, without writing any property; false
    // when a value was refused (the box has been shown).
    bool TakeFields(const std::function<void(DataExchange&)>& exchange);
    // Shows the object's error as the exchange does for a refused property.
    void ShowError(const std::string& text);
    void SetModified(bool modified);
    bool Loading() const { return loading_ > 0; }
    // Changes of these controls do not make the page dirty, nor count as changed.
    void NotDirtying(int id) { quiet_.insert(id); }
    // Whether the user changed control `id` since the page last loaded or applied.
    bool Changed(int id) const { return changed_.count(id) != 0; }

    ComboBox& Combo(int id) const;
    TextBox& Edit(int id) const;
    ListBox& List(int id) const;
    CheckBox& CheckButton(int id) const;
    CommandButton& Button(int id) const;
    // The page's objects, in the order the frame gave them (each with its own reference).
    const std::vector<IUnknown*>& Objects() const { return objects_; }
    // The first object's IDispatch, null when there is none.
    IDispatch* FirstDispatch() const { return dispatch_; }
    std::uint32_t PageWindow() const;
    const PageDescription& Description() const { return description_; }

  private:
    friend class DataExchange;
    class Sheet;
    void TrackChanges();
    void ControlChanged(int id);
    void ReleaseObjects();

    PageTemplate dialog_;
    PageDescription description_;
    IPropertyPageSite* site_ = nullptr;
    HWND parent_ = nullptr;
    std::vector<IUnknown*> objects_;
    IDispatch* dispatch_ = nullptr;
    std::unique_ptr<Sheet> form_;
    std::set<int> quiet_;
    std::set<int> changed_;
    int loading_ = 0;
    bool dirty_ = false;
    bool shown_ = false;
};

}  // namespace ui
