// The acquisition control: one board (device handle) and one of its subsystems (subsystem handle)
// of the API library behind automation properties, methods and events.
//
// Every member runs on the container's thread (the thread that made the control); the library's
// notifications reach it through the control's hidden window on that thread. Members raise
// com::server::Error; the dispatch table turns it into DISP_E_EXCEPTION.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cached_settings.h"
#include "com/browsing.h"
#include "com/connection.h"
#include "com/ole.h"
#include "com/persist.h"
#include "com/property_pages.h"
#include "com/server/connection_point.h"
#include "com/server/object.h"
#include "com/server/view_advise.h"
#include "com/view_object.h"
#include "hxdaapi32.h"
#include "notify_window.h"
#include "persisted_record.h"
#include "settings_table.h"

namespace mqacq32 {

inline constexpr std::size_t kMaxSubsystems = 40;
inline constexpr std::size_t kMaxResolutions = 10;
inline constexpr std::size_t kMaxTableEntries = 8;  // ranges, gains, filters

struct SubsystemEntry {
    UINT kind;
    WORD element;
    std::string description;
};

struct RangeEntry {
    double lower;
    double upper;
    std::string text;  // "%d- %2.4f - %2.4f": index, lower, upper
};

// The open subsystem's capability tables, as the container and the property browser read them.
struct CapabilityTables {
    std::vector<LONG> resolutions;  // bits
    std::vector<RangeEntry> ranges;
    std::vector<double> gains;
    std::vector<double> filters;
};

class PropertyBrowser;
namespace pages {
class ControlAccess;
}

class AcqControl final : public IDispatch,
                         public IProvideClassInfo2,
                         public IConnectionPointContainer,
                         public IOleObject,
                         public IOleControl,
                         public IPersistStreamInit,
                         public IPersistPropertyBag,
                         public IPersistStorage,
                         public IPerPropertyBrowsing,
                         public ISpecifyPropertyPages,
                         public IViewObject {
  public:
    AcqControl();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.Add(); }
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;
    // IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override;
    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;
    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
    HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
    // IOleControl
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID id) override;
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;
    // IPersist, IPersistStreamInit, IPersistPropertyBag, IPersistStorage (persistence.cpp)
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE InitNew() override;
    HRESULT STDMETHODCALLTYPE Load(IStream* stream) override;
    HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
    HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;
    HRESULT STDMETHODCALLTYPE InitNew(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE Load(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE Save(IStorage* storage, BOOL sameAsLoad) override;
    HRESULT STDMETHODCALLTYPE SaveCompleted(IStorage*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE HandsOffStorage() override { return S_OK; }
    // IPerPropertyBrowsing (browsing.cpp)
    HRESULT STDMETHODCALLTYPE GetDisplayString(DISPID id, BSTR* text) override;
    HRESULT STDMETHODCALLTYPE MapPropertyToPage(DISPID id, CLSID* page) override;
    HRESULT STDMETHODCALLTYPE GetPredefinedStrings(DISPID id, CALPOLESTR* strings,
                                                   CADWORD* cookies) override;
    HRESULT STDMETHODCALLTYPE GetPredefinedValue(DISPID id, DWORD cookie, VARIANT* value) override;
    // ISpecifyPropertyPages (pages/announcement.cpp)
    HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;
    // IViewObject (drawing_view.cpp): the design-time picture; nothing at run time.
    HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG lindex, HDC hdc, LPCRECTL bounds) override;
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink) override;
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** sink) override;

    // --- Board and subsystem selection.
    std::string GetBoard() { return board_; }
    void PutBoard(std::string name);
    SHORT GetSubSystem() { return currentIndex_; }
    void PutSubSystem(SHORT index);
    SHORT GetSubSysType();
    void PutSubSysType(SHORT kind);
    SHORT GetSubSysElement();
    void PutSubSysElement(SHORT element);
    SHORT GetNumSubSystems();
    std::string GetSubSystemList(SHORT index);
    LONG GetHDev();
    LONG GetHDass();
    SHORT GetNumBoards();
    std::string GetBoardList(SHORT index);
    SHORT GetNumResolutions();
    SHORT GetNumRanges();
    SHORT GetNumGains();
    SHORT GetNumFilters();
    SHORT GetResolutionValues(SHORT index);
    double GetMinRangeValues(SHORT index);
    double GetMaxRangeValues(SHORT index);
    double GetGainValues(SHORT index);
    double GetFilterValues(SHORT index);

    // --- Settings (the family of settings_table.h, and its special members).
    template <const auto& Entry>
    auto GetSetting() -> std::remove_cvref_t<decltype(Entry.designValue)>;
    template <const auto& Entry>
    void PutSetting(std::remove_cvref_t<decltype(Entry.designValue)> value);
    double GetRetriggerFreq();
    void PutRetriggerFreq(double value);
    SHORT GetRange();
    void PutRange(SHORT index);
    double GetMinRange();
    double GetMaxRange();
    SHORT GetChannelList(SHORT index);
    void PutChannelList(SHORT index, SHORT channel);
    double GetGainList(SHORT index);
    void PutGainList(SHORT index, double gain);
    double GetFilterList(SHORT index);
    void PutFilterList(SHORT index, double filter);
    bool GetInhibitList(SHORT index);
    void PutInhibitList(SHORT index, bool inhibit);
    LONG GetDioList(SHORT index);
    void PutDioList(SHORT index, LONG value);
    SHORT GetClockPrescale() { return settings_.clockPrescale; }
    void PutClockPrescale(SHORT value);
    SHORT GetX4Scaling() { return settings_.x4Scaling; }
    void PutX4Scaling(SHORT value);
    SHORT GetIndexInput() { return settings_.indexInput; }
    void PutIndexInput(SHORT value);
    LONG GetReserved();

    // --- Errors.
    LONG GetLastError();
    std::string GetLastErrDescription();
    void ClearError() { lastError_ = 0; }

    // --- Methods, the buffer queue and enumerations.
    void Config();
    void Start();
    void Stop();
    void Abort();
    void Pause();
    void Continue();
    void Flush();
    void Reset();
    void PutSingleValue(LONG channel, double gain, LONG value);
    LONG GetSingleValue(LONG channel, double gain);
    LONG CTReadEvents();
    void MeasureFrequency(double gateSeconds);
    void EnumBoards();
    void EnumSS();
    void EnumSSCaps(SHORT kind);
    void MQConnectBurst(LONG transferSize, LONG transferCount);
    SHORT GetDevCaps(SHORT kind);
    LONG GetSSCaps(SHORT capability);
    double GetSSCapsEx(SHORT capability);
    LONG GetQueue();
    void PutQueue(LONG buffer);
    SHORT GetQueueSize(SHORT queue);
    std::string GetDeviceName();
    void PowerOn();
    void PowerOff();

    // --- Stock members.
    LONG GetHWnd() { return 0; }  // invisible at run time: no window of its own
    std::string GetCaption() { return caption_; }
    void PutCaption(std::string caption);
    void AboutBox();

    // --- Called back by the enumeration exports and the notification window.
    BOOL AppendSubsystem(const char* description, UINT kind, UINT element);
    BOOL AppendRange(double upper, double lower);
    BOOL AppendGain(double gain);
    BOOL AppendFilter(double filter);
    BOOL AppendResolution(double bits);
    void FireEnumBoards(const char* boardName, const char* driverName);
    void FireEnumSubsystem(const char* description, UINT kind, UINT element);
    void FireEnumCapability(UINT kind, double value1, double value2);
    // Fires `event` unless the container has frozen events; arguments in declaration order.
    void Fire(DISPID event, std::vector<VARIANT> arguments = {});

    bool modified() const { return modified_; }

  private:
    friend class PropertyBrowser;
    friend class pages::ControlAccess;
    ~AcqControl();

    // The error convention: stores the status as LastError and raises status + 22010 with the
    // library's text when it is not 0.
    void Report(HXSTATUS status);
    [[noreturn]] void RaiseInvalidValue();
    // Raises 22000 in a design-mode container.
    void DesignTimeGuard();
    bool UserMode();
    void Notify(DISPID id);
    void MarkModified() { modified_ = true; }
    // In a design-mode container, tells its view sink that the picture changed.
    void InvalidateDesignPicture();

    void ResetSettings();
    void ResetToDefaults();
    int Lookup(LONG kind, LONG element) const;
    bool ExactMatch(int index, LONG kind, LONG element) const;
    void OpenEntry(SHORT index);
    void ForgetSubsystem();
    void CloseSubsystemQuietly();
    void ReleaseDevice();
    void DrainAndFreeBuffers();
    void EmptyCapabilityTables();
    void RefreshCapabilities();
    void BindNotificationWindow();
    bool CapabilityAbove0(UINT capability);
    bool GateOpen(Gate gate);
    template <typename T>
    T AnswerUnsupported(Unsupported how, T& cached, T designValue);

    // --- Persistence (persistence.cpp).
    // The record of what the control holds now; with `lists`, the open subsystem's lists read
    // back from the library.
    PersistedRecord CaptureRecord(bool lists);
    // Takes a loaded record: gives up what is open, reopens the saved board and subsystem and
    // re-applies every setting. Raises only for the notification binding and the first
    // quadrature set-up; every other status is kept as LastError.
    void ApplyRecord(const PersistedRecord& record);
    void ReopenSaved();
    void ApplySavedSettings();
    void ApplySavedLists(const PersistedRecord& record);
    void ApplyVersionedFields(const PersistedRecord& record);
    void Keep(HXSTATUS status) { lastError_ = static_cast<LONG>(status); }
    HRESULT LoadFrom(PropertyExchange& reader);
    HRESULT SaveTo(PropertyExchange& writer, BOOL clearDirty);

    com::server::RefCount refs_;
    com::server::ConnectionPoint events_{this, kEventsIid, true};
    com::server::ConnectionPoint propertyNotify_{this, IID_IPropertyNotifySink, false};
    com::server::Ref<IOleClientSite> site_;
    com::server::ViewAdvise viewAdvise_;
    LONG freezeCount_ = 0;
    SIZEL extent_;
    bool modified_ = false;

    std::string caption_;
    std::string board_;
    HDEV hDev_ = 0;
    HDASS hDass_ = 0;
    SHORT ssType_ = 0;
    SHORT ssElement_ = 0;
    SHORT currentIndex_ = -1;
    std::vector<SubsystemEntry> subsystems_;
    CapabilityTables tables_;
    CachedSettings settings_;
    LONG lastError_ = 0;
    std::unique_ptr<NotifyWindow> window_;
};

}  // namespace mqacq32
