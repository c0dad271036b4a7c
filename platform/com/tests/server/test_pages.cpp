// The tests' page module: two page classes that record every call on their probe object and
// answer Apply and Help as the probe says.
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "com/browsing.h"
#include "com/property_pages.h"
#include "com/runtime.h"
#include "com/server/class_factory.h"
#include "server/test_pages_ids.h"
#include "win32/exports.h"

namespace {

using namespace com::server;

struct FirstTraits {
    static constexpr const char* kTitle = "First";
    static constexpr DWORD kHelpContext = comtest::kFirstHelpContext;
};
struct SecondTraits {
    static constexpr const char* kTitle = "Second";
    static constexpr DWORD kHelpContext = comtest::kSecondHelpContext;
};

template <typename Traits>
class TestPage final : public IPropertyPage, public comtest::ITestPage {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IPropertyPage)
            return Hand(static_cast<IPropertyPage*>(this), ppv);
        if (riid == comtest::IID_ITestPage)
            return Hand(static_cast<comtest::ITestPage*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.Add(); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = refs_.Drop();
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override {
        site_ = Ref<IPropertyPageSite>(site);
        Record(site != nullptr ? "site" : "site null");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Activate(HWND parent, const RECT*, BOOL) override {
        Record("activate " + std::to_string(reinterpret_cast<std::uintptr_t>(parent)));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Deactivate() override {
        Record("deactivate");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override {
        info->pszTitle = com::AllocTaskText(Traits::kTitle);
        info->pszDocString = nullptr;
        info->pszHelpFile = com::AllocTaskText("pages.hlp");
        info->dwHelpContext = Traits::kHelpContext;
        info->size = SIZEL{comtest::kPageWidth, comtest::kPageHeight};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override {
        // The probe stays until the page is given up, so that it sees the calls after this.
        if (count > 0)
            objects[0]->QueryInterface(comtest::IID_IPageProbe, probe_.outVoid());
        Record("objects " + std::to_string(count));
        if (probe_ && count > 0)
            probe_->Attach(Traits::kTitle, static_cast<IPropertyPage*>(this));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Show(UINT command) override {
        Record("show " + std::to_string(command));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Move(const RECT*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsPageDirty() override { return dirty_ ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE Apply() override {
        Record("apply");
        const HRESULT answer = probe_ ? probe_->ApplyAnswer(Traits::kTitle) : S_OK;
        if (answer == S_OK)
            dirty_ = false;
        return answer;
    }
    HRESULT STDMETHODCALLTYPE Help(LPCOLESTR) override {
        Record("help");
        return probe_ && probe_->HasOwnHelp(Traits::kTitle) ? S_OK : E_NOTIMPL;
    }
    void STDMETHODCALLTYPE Edit() override {
        dirty_ = true;
        if (site_)
            site_->OnStatusChange(PROPPAGESTATUS_DIRTY);
    }

  private:
    ~TestPage() = default;
    // Calls before the probe arrives wait for it.
    void Record(const std::string& call) {
        pending_.push_back(call);
        if (!probe_)
            return;
        for (const std::string& waiting : pending_)
            probe_->Record(Traits::kTitle, waiting.c_str());
        pending_.clear();
    }

    RefCount refs_;
    Ref<IPropertyPageSite> site_;
    Ref<comtest::IPageProbe> probe_;
    std::vector<std::string> pending_;
    bool dirty_ = false;
};

const com::ClassRegistration kFirstClass{.clsid = comtest::kFirstPageClsid,
                                         .typeName = "ComTest First Page",
                                         .threadingModel = "Apartment"};
const com::ClassRegistration kSecondClass{.clsid = comtest::kSecondPageClsid,
                                          .typeName = "ComTest Second Page",
                                          .threadingModel = "Apartment"};

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (clsid == comtest::kFirstPageClsid)
        return MakeClassObject<TestPage<FirstTraits>>(riid, ppv);
    if (clsid == comtest::kSecondPageClsid)
        return MakeClassObject<TestPage<SecondTraits>>(riid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return ModuleCounts::CanUnloadNow();
}

HRESULT STDAPICALLTYPE DllRegisterServer() {
    static const char anchor = 0;
    const std::string path = com::ModulePathOf(&anchor);
    if (FAILED(com::RegisterServerClass(kFirstClass, path)) ||
        FAILED(com::RegisterServerClass(kSecondClass, path)))
        return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
    com::UnregisterServerClass(kFirstClass);
    com::UnregisterServerClass(kSecondClass);
    return S_OK;
}

}  // namespace

MQ_EXPORTS_BEGIN
MQ_EXPORT_PLAIN(1, DllCanUnloadNow)
MQ_EXPORT_PLAIN(2, DllGetClassObject)
MQ_EXPORT_PLAIN(3, DllRegisterServer)
MQ_EXPORT_PLAIN(4, DllUnregisterServer)
MQ_EXPORTS_END
