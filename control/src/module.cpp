// The module MQACQ32: its class object, its registration, its exports and its start and end.
#include <new>

#include "acq_control.h"
#include "callbacks.h"
#include "com/runtime.h"
#include "com/server/class_factory.h"
#include "help_path.h"
#include "mqacq32/mqacq32.h"
#include "pages/page_class.h"
#include "win32/exports.h"

namespace mqacq32 {
namespace {

// OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
// OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INVISIBLEATRUNTIME | OLEMISC_SETCLIENTSITEFIRST
constexpr DWORD kMiscStatus = 0x20591u;
static_assert(kMiscStatus == (OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
                              OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                              OLEMISC_INVISIBLEATRUNTIME | OLEMISC_SETCLIENTSITEFIRST));
constexpr int kToolboxBitmap = 1;
constexpr const char* kTypeLibraryVersion = "2.6";

const com::ClassRegistration kControlClass{.clsid = kClsid,
                                           .typeName = kTypeName,
                                           .progId = kProgId,
                                           .threadingModel = "Apartment",
                                           .control = true,
                                           .miscStatus = kMiscStatus,
                                           .toolboxBitmap = kToolboxBitmap,
                                           .typeLibrary = &kTypeLibraryId,
                                           .typeLibraryVersion = kTypeLibraryVersion};

const com::TypeLibraryRegistration::Interface kInterfaces[] = {
    {kDispatchIid, "_DMQAcq32"},
    {kEventsIid, "_DMQAcq32Events"},
};
const com::TypeLibraryRegistration kTypeLibrary{
    kTypeLibraryId,        "MQAcq32 ActiveX Control module", kTypeLibraryVersion, "", kInterfaces,
    std::size(kInterfaces)};

std::string OwnPath() {
    static const char anchor = 0;
    return com::ModulePathOf(&anchor);
}

// Runs the module application's start when the module loads and its end when it unloads.
struct ModuleLifetime {
    ModuleLifetime() { Application().Start(); }
    ~ModuleLifetime() { Application().End(); }
} gModuleLifetime;

}  // namespace
}  // namespace mqacq32

namespace {

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (clsid != mqacq32::kClsid)
        return mqacq32::pages::PageClassObject(clsid, riid, ppv);
    return com::server::MakeClassObject<mqacq32::AcqControl>(riid, ppv);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return com::server::ModuleCounts::CanUnloadNow();
}

// The type library first, then every class (the control, then its pages); each failure has its
// own status.
HRESULT STDAPICALLTYPE DllRegisterServer() {
    const std::string path = mqacq32::OwnPath();
    if (FAILED(com::RegisterTypeLibrary(mqacq32::kTypeLibrary, path)))
        return SELFREG_E_TYPELIB;
    if (FAILED(com::RegisterServerClass(mqacq32::kControlClass, path)) ||
        FAILED(mqacq32::pages::RegisterPageClasses(path)))
        return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
    if (FAILED(com::UnregisterTypeLibrary(mqacq32::kTypeLibrary)))
        return SELFREG_E_TYPELIB;
    if (FAILED(com::UnregisterServerClass(mqacq32::kControlClass)) ||
        FAILED(mqacq32::pages::UnregisterPageClasses()))
        return SELFREG_E_CLASS;
    return S_OK;
}

}  // namespace

MQ_EXPORTS_BEGIN
MQ_EXPORT(1, CBEnumBoards, 12)
MQ_EXPORT(2, CBEnumSS, 16)
MQ_EXPORT(3, CBEnumSSCap, 24)
MQ_EXPORT_PLAIN(4, DllCanUnloadNow)
MQ_EXPORT_PLAIN(5, DllGetClassObject)
MQ_EXPORT_PLAIN(6, DllRegisterServer)
MQ_EXPORT_PLAIN(7, DllUnregisterServer)
MQ_EXPORT(8, FillBoardArray, 12)
MQ_EXPORT(9, FillFilterArray, 24)
MQ_EXPORT(10, FillGainArray, 24)
MQ_EXPORT(11, FillRangeArray, 24)
MQ_EXPORT(12, FillResolutionArray, 24)
MQ_EXPORT(13, FillSubSystems, 16)
MQ_EXPORTS_END
