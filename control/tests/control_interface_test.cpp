// The control as a component: its registration, its creation through the runtime, its type
// description, the design-time guard and the error convention.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "com/dispatch.h"
#include "control_fixture.h"
#include "help_path.h"
#include "registry/testing.h"
#include "win32/registry.h"

namespace controltest {
namespace {

namespace d = mqacq32::dispid;

std::string ClassValue(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<missing>";
    char text[512] = {};
    DWORD size = sizeof(text);
    RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return text;
}

using ControlInterface = ControlTest;

TEST_F(ControlInterface, RegistersItsClassTypeLibraryAndProgIdAndUnregistersThem) {
    const std::string key = "CLSID\\" + com::StringFromGuid(mqacq32::kClsid);
    EXPECT_EQ(ClassValue(key), "MQAcq32 Control");
    EXPECT_EQ(ClassValue(key + "\\ProgID"), mqacq32::kProgId);
    EXPECT_EQ(ClassValue(key + "\\MiscStatus\\1"), "132497");  // 0x20591
    EXPECT_EQ(ClassValue(key + "\\Version"), "2.6");
    EXPECT_EQ(ClassValue(key + "\\TypeLib"), com::StringFromGuid(mqacq32::kTypeLibraryId));
    EXPECT_NE(ClassValue(key + "\\InprocServer32").find("libMQACQ32.so"), std::string::npos);
    EXPECT_NE(ClassValue(key + "\\ToolboxBitmap32").find(", 1"), std::string::npos);
    EXPECT_EQ(ClassValue(key + "\\Insertable"), "<missing>");
    EXPECT_EQ(ClassValue("TypeLib\\" + com::StringFromGuid(mqacq32::kTypeLibraryId) + "\\2.6"),
              "MQAcq32 ActiveX Control module");
    EXPECT_EQ(ClassValue("Interface\\" + com::StringFromGuid(mqacq32::kEventsIid)),
              "_DMQAcq32Events");
    CLSID clsid{};
    const std::u16string progId(mqacq32::kProgId, mqacq32::kProgId + std::strlen(mqacq32::kProgId));
    ASSERT_EQ(CLSIDFromProgID(progId.c_str(), &clsid), S_OK);
    EXPECT_EQ(clsid, mqacq32::kClsid);

    auto unregister = reinterpret_cast<DllRegisterServerProc>(
        GetProcAddress(module.module(), "DllUnregisterServer"));
    ASSERT_EQ(unregister(), S_OK);
    EXPECT_EQ(ClassValue(key), "<missing>");
    EXPECT_EQ(ClassValue("TypeLib\\" + com::StringFromGuid(mqacq32::kTypeLibraryId)), "<missing>");
    void* object = nullptr;
    EXPECT_EQ(
        CoCreateInstance(mqacq32::kClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &object),
        REGDB_E_CLASSNOTREG);
}

TEST_F(ControlInterface, ExportsItsEntryPointsAndCallbacksByName) {
    for (const char* name :
         {"DllRegisterServer", "DllUnregisterServer", "DllGetClassObject", "DllCanUnloadNow",
          "CBEnumBoards", "CBEnumSS", "CBEnumSSCap", "FillBoardArray", "FillFilterArray",
          "FillGainArray", "FillRangeArray", "FillResolutionArray", "FillSubSystems"})
        EXPECT_NE(GetProcAddress(module.module(), name), nullptr) << name;
    EXPECT_NE(GetProcAddress(module.module(), "_FillSubSystems@16"), nullptr);
}

TEST_F(ControlInterface, DescribesItsMembersAndItsEventInterface) {
    Ref<ITypeInfo> info;
    ASSERT_EQ(control->dispatch->GetTypeInfo(0, 0, info.out()), S_OK);
    UINT count = 0;
    info->GetMemberCount(&count);
    EXPECT_EQ(count, 88u);  // 85 numbered members and 3 stock ones
    std::u16string lastError = u"LastError", channel = u"uiChannel", single = u"GetSingleValue";
    LPOLESTR names[] = {single.data(), channel.data()};
    DISPID ids[2] = {};
    ASSERT_EQ(control->dispatch->GetIDsOfNames(IID_NULL, names, 2, 0, ids), S_OK);
    EXPECT_EQ(ids[0], d::GetSingleValue);
    EXPECT_EQ(ids[1], 0);
    LPOLESTR one[] = {lastError.data()};
    ASSERT_EQ(control->dispatch->GetIDsOfNames(IID_NULL, one, 1, 0, ids), S_OK);
    EXPECT_EQ(ids[0], d::LastError);

    Ref<IProvideClassInfo2> classInfo;
    ASSERT_EQ(control->dispatch->QueryInterface(IID_IProvideClassInfo2, classInfo.outVoid()), S_OK);
    GUID events{};
    ASSERT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events), S_OK);
    EXPECT_EQ(events, mqacq32::kEventsIid);
    Ref<ITypeInfo> coclass;
    ASSERT_EQ(classInfo->GetClassInfo(coclass.out()), S_OK);
    INT flags = 0;
    Ref<ITypeInfo> source;
    ASSERT_EQ(coclass->GetImplType(1, &flags, source.out()), S_OK);
    EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
    source->GetMemberCount(&count);
    EXPECT_EQ(count, 18u);
    MEMBERDESC member{};
    ASSERT_EQ(source->GetMember(10, &member), S_OK);
    EXPECT_EQ(std::u16string(member.name), u"MeasureDone");
    EXPECT_EQ(member.paramTypes[0], VT_R4 | VT_BYREF);

    Ref<IOleObject> object;
    ASSERT_EQ(control->dispatch->QueryInterface(IID_IOleObject, object.outVoid()), S_OK);
    DWORD misc = 0;
    object->GetMiscStatus(DVASPECT_CONTENT, &misc);
    EXPECT_EQ(misc, 0x20591u);
    EXPECT_EQ(control->getText(d::Caption), "MQAcq32");
    EXPECT_TRUE(control->put(d::Caption, Variant::Text("Scope")).ok());
    EXPECT_EQ(control->notify.changed.back(), d::Caption);
}

TEST_F(ControlInterface, GuardedMembersRaiseAtDesignTimeAndOthersDoNot) {
    site.userMode = false;
    const Outcome handle = control->get(d::hDass);
    EXPECT_TRUE(Raised(handle, mqacq32::kDesignTimeError));
    EXPECT_EQ(handle.description, "This property may not be retrieved at design time.");
    EXPECT_EQ(handle.source, "MQAcq32");
    EXPECT_TRUE(Raised(control->call(d::Start), mqacq32::kDesignTimeError));
    EXPECT_TRUE(Raised(control->put(d::SubSysType, Variant::Short(0)), mqacq32::kDesignTimeError));
    EXPECT_TRUE(Raised(control->get(d::BoardList, {Variant::Short(0)}), mqacq32::kDesignTimeError));
    EXPECT_TRUE(control->get(d::Frequency).ok());
    EXPECT_TRUE(control->call(d::ClearError).ok());
    EXPECT_TRUE(control->call(d::PowerOff).ok());  // no board: the write fails, nothing is raised

    // A container that does not answer the ambient user mode runs the control in run mode.
    site.answersAmbient = false;
    EXPECT_TRUE(control->get(d::hDass).ok());
}

TEST_F(ControlInterface, LibraryRefusalsRaiseTheStatusPlus22010WithTheLibrarysText) {
    const Outcome start = control->call(d::Start);  // no subsystem: the library answers 40
    ASSERT_TRUE(Raised(start, StatusError(HXINVALIDSSHANDLE)));
    EXPECT_EQ(start.error, 22050);
    EXPECT_EQ(start.description, LibraryText(HXINVALIDSSHANDLE));
    EXPECT_EQ(control->getLong(d::LastError), static_cast<LONG>(HXINVALIDSSHANDLE));
    EXPECT_EQ(control->getText(d::LastErrDescription), LibraryText(HXINVALIDSSHANDLE));
    EXPECT_TRUE(control->call(d::ClearError).ok());
    EXPECT_EQ(control->getLong(d::LastError), 0);

    open(kMq5204, kAdIndex);
    EXPECT_TRUE(Raised(control->call(d::MQConnectBurst, {Variant::Long(1), Variant::Long(1)}),
                       StatusError(HXNOTSUPPORTED)));
    EXPECT_EQ(control->getLong(d::LastError), static_cast<LONG>(HXNOTSUPPORTED));
    EXPECT_TRUE(control->call(d::Config).ok());  // a reported success clears it
    EXPECT_EQ(control->getLong(d::LastError), 0);

    EXPECT_TRUE(Raised(control->put(d::hDass, Variant::Long(1)), CTL_E_SETNOTSUPPORTED));
    EXPECT_EQ(control->put(d::Frequency, Variant::Text("fast")).status, DISP_E_TYPEMISMATCH);
    EXPECT_TRUE(Raised(control->call(d::AboutBox), E_NOTIMPL));
}

TEST_F(ControlInterface, TheModuleUnloadsOnceItsLastControlIsGone) {
    const std::size_t loaded = com::testing::LoadedServerCount();
    ASSERT_GE(loaded, 1u);
    control.reset();
    CoFreeUnusedLibraries();
    EXPECT_EQ(com::testing::LoadedServerCount(), loaded - 1);
    // Made again from the module loaded anew, with its window class still usable.
    control = std::make_unique<Control>(&site);
    open(kMq5204, kAdIndex);
    EXPECT_NE(hDass(), 0u);
}

// The help file lies in the system directory however long its path is.
TEST(HelpPath, HoldsASystemDirectoryOfAnyLength) {
    registry::ScopedMachine machine;
    const std::filesystem::path deep =
        machine.directory() / std::string(120, 'm') / std::string(60, 'n');
    std::filesystem::create_directories(deep);
    const char* previous = std::getenv("MQ_MACHINE");
    const std::string saved = previous != nullptr ? previous : "";
    setenv("MQ_MACHINE", deep.c_str(), 1);
    const std::string path = mqacq32::SystemHelpFilePath();
    setenv("MQ_MACHINE", saved.c_str(), 1);
    const std::string expected = (deep / "windows" / "system32").string() + "\\Velkor.hlp";
    EXPECT_GT(expected.size(), 200u);
    EXPECT_EQ(path, expected);
}

}  // namespace
}  // namespace controltest
