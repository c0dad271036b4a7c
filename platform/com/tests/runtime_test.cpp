// The runtime: classes registered by their server module, made through the registry, unloaded
// when unused; connection points of a made object; identifier texts.
#include <gtest/gtest.h>

#include <thread>

#include "com/connection.h"
#include "com/runtime.h"
#include "com/server/object.h"
#include "registry/testing.h"
#include "server/test_server_ids.h"
#include "sinks.h"
#include "win32/module.h"
#include "win32/registry.h"

namespace {

using com::Variant;
using com::server::Ref;

std::u16string Wide(const char* text) {
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

// A fresh registry with the test server registered by its own DllRegisterServer, and the calling
// thread counted in.
class ServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        module_ = LoadLibraryA(comtest::kServerModule);
        ASSERT_NE(module_, nullptr);
        auto entry =
            reinterpret_cast<DllRegisterServerProc>(GetProcAddress(module_, "DllRegisterServer"));
        ASSERT_NE(entry, nullptr);
        ASSERT_EQ(entry(), S_OK);
    }
    void TearDown() override {
        CoFreeUnusedLibraries();
        if (module_ != nullptr)
            FreeLibrary(module_);
        CoUninitialize();
    }
    Ref<IDispatch> makeCounter() {
        Ref<IDispatch> counter;
        EXPECT_EQ(CoCreateInstance(comtest::kCounterClsid, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IDispatch, counter.outVoid()),
                  S_OK);
        return counter;
    }
    HRESULT unregister() {
        auto entry =
            reinterpret_cast<DllRegisterServerProc>(GetProcAddress(module_, "DllUnregisterServer"));
        return entry();
    }

    registry::ScopedMachine machine_;
    HMODULE module_ = nullptr;
};

TEST_F(ServerTest, AClassIsFoundThroughItsProgIdAndMadeByItsModule) {
    CLSID clsid{};
    const std::u16string progId = Wide(comtest::kCounterProgId);
    ASSERT_EQ(CLSIDFromProgID(progId.c_str(), &clsid), S_OK);
    EXPECT_EQ(clsid, comtest::kCounterClsid);

    HKEY key = nullptr;
    const std::string serverKey =
        "CLSID\\" + com::StringFromGuid(comtest::kCounterClsid) + "\\InprocServer32";
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, serverKey.c_str(), 0, KEY_READ, &key),
              ERROR_SUCCESS);
    char threading[32] = {};
    DWORD size = sizeof(threading);
    EXPECT_EQ(RegQueryValueExA(key, "ThreadingModel", nullptr, nullptr,
                               reinterpret_cast<BYTE*>(threading), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(threading, "Apartment");
    RegCloseKey(key);

    Ref<IDispatch> counter = makeCounter();
    ASSERT_TRUE(counter);
    Variant value = Variant::Long(5);
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS put{&value, &putId, 1, 1};
    EXPECT_EQ(counter->Invoke(comtest::kCountId, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr,
                              nullptr, nullptr),
              S_OK);
    Variant result;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(counter->Invoke(comtest::kCountId, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result,
                              nullptr, nullptr),
              S_OK);
    EXPECT_EQ(result.lVal, 5);
    EXPECT_EQ(counter->Invoke(comtest::kCountId, IID_IDispatch, 0, DISPATCH_PROPERTYGET, &none,
                              &result, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
}

TEST_F(ServerTest, UnregisteredOrUninitialisedLookupsFail) {
    void* object = nullptr;
    EXPECT_EQ(CoCreateInstance(comtest::kCounterEventsIid, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IUnknown, &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);

    HRESULT otherThread = S_OK;
    std::thread([&] {
        void* made = nullptr;
        otherThread = CoCreateInstance(comtest::kCounterClsid, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IUnknown, &made);
    }).join();
    EXPECT_EQ(otherThread, CO_E_NOTINITIALIZED);

    ASSERT_EQ(unregister(), S_OK);
    EXPECT_EQ(CoCreateInstance(comtest::kCounterClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               &object),
              REGDB_E_CLASSNOTREG);
    CLSID clsid{};
    const std::u16string progId = Wide(comtest::kCounterProgId);
    EXPECT_EQ(CLSIDFromProgID(progId.c_str(), &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(unregister(), S_OK);  // nothing left to remove is no failure
}

TEST_F(ServerTest, AServerModuleStaysLoadedWhileItsObjectsOrLocksLive) {
    const std::size_t before = com::testing::LoadedServerCount();
    Ref<IDispatch> counter = makeCounter();
    EXPECT_EQ(com::testing::LoadedServerCount(), before + 1);
    CoFreeUnusedLibraries();
    EXPECT_EQ(com::testing::LoadedServerCount(), before + 1);  // the object lives
    counter.reset();

    Ref<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(comtest::kCounterClsid, CLSCTX_INPROC_SERVER, nullptr,
                               IID_IClassFactory, factory.outVoid()),
              S_OK);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    factory.reset();
    CoFreeUnusedLibraries();
    EXPECT_EQ(com::testing::LoadedServerCount(), before + 1);  // locked
    ASSERT_EQ(CoGetClassObject(comtest::kCounterClsid, CLSCTX_INPROC_SERVER, nullptr,
                               IID_IClassFactory, factory.outVoid()),
              S_OK);
    void* aggregated = nullptr;
    EXPECT_EQ(factory->CreateInstance(factory.get(), IID_IUnknown, &aggregated),
              CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->LockServer(FALSE), S_OK);
    factory.reset();
    CoFreeUnusedLibraries();
    EXPECT_EQ(com::testing::LoadedServerCount(), before);
}

TEST_F(ServerTest, ConnectionPointsCallTheirSinksAndLetThemGoAtUnadvise) {
    Ref<IDispatch> counter = makeCounter();
    Ref<IConnectionPointContainer> container;
    ASSERT_EQ(counter->QueryInterface(IID_IConnectionPointContainer, container.outVoid()), S_OK);
    Ref<IConnectionPoint> events;
    ASSERT_EQ(container->FindConnectionPoint(comtest::kCounterEventsIid, events.out()), S_OK);
    Ref<IConnectionPoint> missing;
    EXPECT_EQ(container->FindConnectionPoint(IID_IClassFactory, missing.out()),
              CONNECT_E_NOCONNECTION);
    Ref<IConnectionPoint> notify;
    ASSERT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, notify.out()), S_OK);

    comtest::RecordingSink first(comtest::kCounterEventsIid);
    comtest::RecordingSink dispatchOnly(comtest::kCounterEventsIid, false);
    comtest::NotifySink notifySink;
    DWORD firstCookie = 0, secondCookie = 0, notifyCookie = 0;
    ASSERT_EQ(events->Advise(&first, &firstCookie), S_OK);
    ASSERT_EQ(events->Advise(&dispatchOnly, &secondCookie), S_OK);
    EXPECT_NE(firstCookie, 0u);
    EXPECT_NE(firstCookie, secondCookie);
    EXPECT_EQ(notify->Advise(&first, &notifyCookie), CONNECT_E_CANNOTCONNECT);
    ASSERT_EQ(notify->Advise(&notifySink, &notifyCookie), S_OK);
    EXPECT_EQ(first.refs, 2u);

    // The first sink unadvises the second while it is being called: the second is not called.
    first.onInvoke = [&] { events->Unadvise(secondCookie); };
    Variant value = Variant::Short(9);  // converted to the declared long
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS put{&value, &putId, 1, 1};
    ASSERT_EQ(counter->Invoke(comtest::kCountId, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr,
                              nullptr, nullptr),
              S_OK);
    ASSERT_EQ(first.ids.size(), 1u);
    EXPECT_EQ(first.ids[0], comtest::kChangedEventId);
    EXPECT_EQ(first.flagsSeen[0], DISPATCH_METHOD);
    EXPECT_EQ(first.firstArguments[0], 9);
    EXPECT_TRUE(dispatchOnly.ids.empty());
    EXPECT_EQ(dispatchOnly.refs, 1u);
    EXPECT_EQ(notifySink.changed, std::vector<DISPID>{comtest::kCountId});

    EXPECT_EQ(events->Unadvise(secondCookie), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(events->Unadvise(firstCookie), S_OK);
    EXPECT_EQ(first.refs, 1u);
    // Sinks still advised when the object goes are released with it.
    events.reset();
    notify.reset();
    container.reset();
    counter.reset();
    EXPECT_EQ(notifySink.refs, 1u);
}

TEST(GuidText, RoundTripsAndRefusesMalformedTexts) {
    const std::string text = com::StringFromGuid(comtest::kCounterClsid);
    EXPECT_EQ(text, "{1FD2792D-6EA2-4001-B712-D5E60E7B14BF}");
    OLECHAR wide[MQ_GUID_STRING_LENGTH];
    EXPECT_EQ(StringFromGUID2(comtest::kCounterClsid, wide, MQ_GUID_STRING_LENGTH),
              MQ_GUID_STRING_LENGTH);
    EXPECT_EQ(StringFromGUID2(comtest::kCounterClsid, wide, MQ_GUID_STRING_LENGTH - 1), 0);
    CLSID parsed{};
    const std::u16string lower = u"{1fd2792d-6ea2-4001-b712-d5e60e7b14bf}";
    ASSERT_EQ(CLSIDFromString(lower.c_str(), &parsed), S_OK);
    EXPECT_EQ(parsed, comtest::kCounterClsid);
    for (const char16_t* bad :
         {u"1FD2792D-6EA2-4001-B712-D5E60E7B14BF", u"{1FD2792D-6EA2-4001-B712-D5E60E7B14BG}",
          u"{1FD2792D-6EA24-001-B712-D5E60E7B14BF}", u"{1FD2792D-6EA2-4001-B712-D5E60E7B14BF}x",
          u""})
        EXPECT_EQ(CLSIDFromString(bad, &parsed), CO_E_CLASSSTRING);
}

TEST(Apartment, CountsInitialisationsAndRefusesAChangeOfModel) {
    std::thread([] {
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        CoUninitialize();
        CoUninitialize();
        void* object = nullptr;
        EXPECT_EQ(CoCreateInstance(comtest::kCounterClsid, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IUnknown, &object),
                  CO_E_NOTINITIALIZED);
    }).join();
}

}  // namespace
