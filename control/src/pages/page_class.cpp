#include "pages/page_class.h"

#include <vector>

#include "com/runtime.h"
#include "string_ids.h"

namespace mqacq32::pages {
namespace {

// Filled while the module loads, read only after.
std::vector<PageClass>& Classes() {
    static std::vector<PageClass> classes;
    return classes;
}

com::ClassRegistration RegistrationOf(const PageClass& page, const std::string& typeName) {
    return com::ClassRegistration{
        .clsid = page.identity->clsid, .typeName = typeName, .threadingModel = "Apartment"};
}

}  // namespace

bool AddPageClass(PageClass pageClass) {
    Classes().push_back(pageClass);
    return true;
}

HRESULT PageClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    for (const PageClass& page : Classes())
        if (page.identity->clsid == clsid)
            return page.makeClassObject(riid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT RegisterPageClasses(const std::string& modulePath) {
    for (const PageClass& page : Classes()) {
        const std::string caption = ModuleText(page.identity->caption);
        const HRESULT registered =
            com::RegisterServerClass(RegistrationOf(page, caption), modulePath);
        if (FAILED(registered))
            return registered;
    }
    return S_OK;
}

HRESULT UnregisterPageClasses() {
    for (const PageClass& page : Classes()) {
        const HRESULT removed = com::UnregisterServerClass(RegistrationOf(page, {}));
        if (FAILED(removed))
            return removed;
    }
    return S_OK;
}

}  // namespace mqacq32::pages
