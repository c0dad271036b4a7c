// The module's page classes: each page's file adds its class once when the module loads; the
// module's class lookup and registration go through this list.
#pragma once

#include <string>

#include "com/base.h"
#include "com/server/class_factory.h"
#include "pages/page_ids.h"

namespace mqacq32::pages {

using MakeClassObjectProc = HRESULT (*)(REFIID riid, void** ppv);

struct PageClass {
    const PageIdentity* identity;
    MakeClassObjectProc makeClassObject;
};

// Adds a page class; answers true so that a file can do it in a constant's initialiser.
bool AddPageClass(PageClass pageClass);

template <class Page>
bool AddPage(const PageIdentity& identity) {
    return AddPageClass({&identity, &com::server::MakeClassObject<Page>});
}

// The class object of the page class `clsid`; CLASS_E_CLASSNOTAVAILABLE for any other class.
HRESULT PageClassObject(REFCLSID clsid, REFIID riid, void** ppv);
// Registers (unregisters) every page class, each with its caption as its type name; the first
// failure's status.
HRESULT RegisterPageClasses(const std::string& modulePath);
HRESULT UnregisterPageClasses();

}  // namespace mqacq32::pages
