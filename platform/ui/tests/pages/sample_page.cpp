// The forms runtime's test page module: one page class over an object's Name, Level and Mode.
#include <new>

#include "com/runtime.h"
#include "com/server/class_factory.h"
#include "pages/sample_page_ids.h"
#include "ui/property_page.h"
#include "win32/exports.h"

namespace {

using namespace com::server;
using ui::Kind;
using ui::PageItem;

constexpr int kWidth = 200;
constexpr int kHeight = 80;

ui::PageTemplate SampleTemplate() {
    ui::PageTemplate dialog{kWidth, kHeight, {}};
    ui::ControlDesign names = PageItem(Kind::ComboBox, uitest::kNameCombo, "", 60, 7, 100, 60);
    names.items = {"Alpha", "Beta", "Gamma"};
    dialog.controls.push_back(PageItem(Kind::Label, 301, "Name:", 7, 9, 50, 8));
    dialog.controls.push_back(names);
    dialog.controls.push_back(PageItem(Kind::Label, 302, "Level:", 7, 27, 50, 8));
    dialog.controls.push_back(PageItem(Kind::TextBox, uitest::kLevelEdit, "", 60, 25, 60, 12));
    dialog.controls.push_back(PageItem(Kind::Label, 303, "Note:", 7, 45, 50, 8));
    dialog.controls.push_back(PageItem(Kind::TextBox, uitest::kNoteEdit, "", 60, 43, 100, 12));
    ui::ControlDesign modes = PageItem(Kind::ComboBox, uitest::kModeCombo, "", 60, 61, 100, 60);
    modes.items = {"0 - Off", "1 - On"};
    dialog.controls.push_back(PageItem(Kind::Label, 305, "Mode:", 7, 63, 50, 8));
    dialog.controls.push_back(modes);
    return dialog;
}

class SamplePage final : public ui::PropertyPage {
  public:
    SamplePage()
        : ui::PropertyPage(SampleTemplate(), {uitest::kSampleCaption, uitest::kSampleHelpFile,
                                              uitest::kSampleHelpContext, "Sample"}) {}
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.Add(); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = refs_.Drop();
        if (left == 0)
            delete this;
        return left;
    }

  protected:
    void BindControls() override { NotDirtying(uitest::kNoteEdit); }
    void DoDataExchange(ui::DataExchange& dx) override {
        dx.Property("Name", name_, uitest::kNameCombo);
        dx.Property("Level", level_, uitest::kLevelEdit);
        dx.Property("Mode", mode_, uitest::kModeCombo);
        dx.ComboText(uitest::kNameCombo, name_);
        dx.Text(uitest::kLevelEdit, level_);
        dx.MinMax(level_, uitest::kLowestLevel, uitest::kHighestLevel);
        dx.ComboIndex(uitest::kModeCombo, mode_);
    }

  private:
    RefCount refs_;
    std::string name_;
    std::int16_t level_ = 0;
    std::int16_t mode_ = -1;
};

const com::ClassRegistration kSampleClass{.clsid = uitest::kSamplePageClsid,
                                          .typeName = uitest::kSampleCaption,
                                          .threadingModel = "Apartment"};

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (clsid != uitest::kSamplePageClsid)
        return CLASS_E_CLASSNOTAVAILABLE;
    return MakeClassObject<SamplePage>(riid, ppv);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return ModuleCounts::CanUnloadNow();
}

HRESULT STDAPICALLTYPE DllRegisterServer() {
    static const char anchor = 0;
    return com::RegisterServerClass(kSampleClass, com::ModulePathOf(&anchor));
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
    return com::UnregisterServerClass(kSampleClass);
}

}  // namespace

MQ_EXPORTS_BEGIN
MQ_EXPORT_PLAIN(1, DllCanUnloadNow)
MQ_EXPORT_PLAIN(2, DllGetClassObject)
MQ_EXPORT_PLAIN(3, DllRegisterServer)
MQ_EXPORT_PLAIN(4, DllUnregisterServer)
MQ_EXPORTS_END
