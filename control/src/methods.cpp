// The methods: operations on the subsystem, the buffer queue, single values, capabilities,
// enumerations as events, and the device-level members.
#include "acq_control.h"
#include "callbacks.h"
#include "setting_members.h"

namespace mqacq32 {
namespace {

constexpr UINT kDeviceNameLength = 255;
constexpr UINT kPowerRegister = 100;
constexpr UINT kPowerRegisterWidth = 1;
constexpr UINT kPowerOn = 1;
constexpr UINT kPowerOff = 0;

com::Variant ByReference(BSTR* text) {
    com::Variant argument;
    argument.vt = VT_BSTR | VT_BYREF;
    argument.pbstrVal = text;
    return argument;
}

com::Variant ByReference(SHORT* value) {
    com::Variant argument;
    argument.vt = VT_I2 | VT_BYREF;
    argument.piVal = value;
    return argument;
}

com::Variant ByReference(float* value) {
    com::Variant argument;
    argument.vt = VT_R4 | VT_BYREF;
    argument.pfltVal = value;
    return argument;
}

}  // namespace

void AcqControl::Config() {
    DesignTimeGuard();
    UINT quadrature = 0;
    if (hxDaGetSSCaps(hDass_, HXSSC_QUADDECODER, &quadrature) == HXNOERROR && quadrature != 0)
        Report(hxDaSetQuadDecoder(
            hDass_, static_cast<UINT>(settings_.clockPrescale),
            static_cast<UINT>(settings_.x4Scaling),
            ToLibrary(ValueMap::kOffset, HXQUADINDEX_DISABLED, settings_.indexInput)));
    Report(hxDaConfig(hDass_));
}

void AcqControl::Start() {
    DesignTimeGuard();
    Report(hxDaStart(hDass_));
}

void AcqControl::Stop() {
    DesignTimeGuard();
    Report(hxDaStop(hDass_));
}

void AcqControl::Abort() {
    DesignTimeGuard();
    Report(hxDaAbort(hDass_));
}

void AcqControl::Pause() {
    DesignTimeGuard();
    Report(hxDaPause(hDass_));
}

void AcqControl::Continue() {
    DesignTimeGuard();
    Report(hxDaContinue(hDass_));
}

void AcqControl::Flush() {
    DesignTimeGuard();
    Report(hxDaFlushBuffers(hDass_));
}

void AcqControl::Reset() {
    DesignTimeGuard();
    Report(hxDaReset(hDass_));
}

void AcqControl::PutSingleValue(LONG channel, double gain, LONG value) {
    DesignTimeGuard();
    Report(hxDaPutSingleValue(hDass_, static_cast<UINT>(value), static_cast<UINT>(channel), gain));
}

LONG AcqControl::GetSingleValue(LONG channel, double gain) {
    DesignTimeGuard();
    UINT value = 0;
    Report(hxDaGetSingleValue(hDass_, &value, static_cast<UINT>(channel), gain));
    return static_cast<LONG>(value);
}

LONG AcqControl::CTReadEvents() {
    DesignTimeGuard();
    UINT count = 0;
    Report(hxDaReadEvents(hDass_, &count));
    return static_cast<LONG>(count);
}

void AcqControl::MeasureFrequency(double gateSeconds) {
    DesignTimeGuard();
    Report(hxDaMeasureFrequency(hDass_, window_->handle(), gateSeconds));
}

void AcqControl::EnumBoards() {
    DesignTimeGuard();
    Report(hxDaEnumBoards(CBEnumBoards, reinterpret_cast<LPARAM>(this)));
}

void AcqControl::EnumSS() {
    DesignTimeGuard();
    Report(hxDaEnumSubSystems(hDev_, CBEnumSS, reinterpret_cast<LPARAM>(this)));
}

void AcqControl::EnumSSCaps(SHORT kind) {
    DesignTimeGuard();
    Report(hxDaEnumSSCaps(hDass_, ToLibrary(ValueMap::kOffset, HXENUMCAP_FILTERS, kind),
                          CBEnumSSCap, reinterpret_cast<LPARAM>(this)));
}

void AcqControl::MQConnectBurst(LONG transferSize, LONG transferCount) {
    DesignTimeGuard();
    Report(hxDaMQConnectBurst(hDass_, static_cast<UINT>(transferSize),
                              static_cast<UINT>(transferCount)));
}

SHORT AcqControl::GetDevCaps(SHORT kind) {
    DesignTimeGuard();
    UINT count = 0;
    Report(hxDaGetDevCaps(hDev_, kind, &count));
    return static_cast<SHORT>(count);
}

LONG AcqControl::GetSSCaps(SHORT capability) {
    DesignTimeGuard();
    UINT value = 0;
    Report(hxDaGetSSCaps(hDass_, static_cast<UINT>(capability), &value));
    return static_cast<LONG>(value);
}

double AcqControl::GetSSCapsEx(SHORT capability) {
    DesignTimeGuard();
    double value = 0.0;
    Report(hxDaGetSSCapsEx(hDass_, static_cast<UINT>(capability), &value));
    return value;
}

LONG AcqControl::GetQueue() {
    DesignTimeGuard();
    if (hDass_ == 0)
        return 0;
    HBUF buffer = 0;
    Report(hxDaGetBuffer(hDass_, &buffer));
    return static_cast<LONG>(buffer);
}

void AcqControl::PutQueue(LONG buffer) {
    DesignTimeGuard();
    if (hDass_ == 0)
        return;
    Report(hxDaPutBuffer(hDass_, static_cast<HBUF>(buffer)));
}

SHORT AcqControl::GetQueueSize(SHORT queue) {
    DesignTimeGuard();
    UINT count = 0;
    Report(hxDaGetQueueSize(hDass_, ToLibrary(ValueMap::kOffset, HXQUEUE_READY, queue), &count));
    return static_cast<SHORT>(count);
}

// The status is kept as LastError, not raised. The buffer starts zeroed and a refused call gives
// "", so no text is ever made from memory the library did not write.
std::string AcqControl::GetDeviceName() {
    DesignTimeGuard();
    char name[kDeviceNameLength + 1] = {};
    const HXSTATUS status = hxDaGetDeviceName(hDev_, name, kDeviceNameLength);
    lastError_ = static_cast<LONG>(status);
    return status == HXNOERROR ? std::string(name) : std::string();
}

void AcqControl::PowerOn() {
    hxDiagWriteReg(hDev_, kPowerRegister, kPowerOn, kPowerRegisterWidth);
}

void AcqControl::PowerOff() {
    hxDiagWriteReg(hDev_, kPowerRegister, kPowerOff, kPowerRegisterWidth);
}

// Event arguments go by reference to copies made for the event; texts are freed after it, so a
// handler's changes to them reach nobody.
void AcqControl::FireEnumBoards(const char* boardName, const char* driverName) {
    BSTR board = com::AllocBstr(boardName != nullptr ? boardName : "");
    BSTR driver = com::AllocBstr(driverName != nullptr ? driverName : "");
    Fire(event::EnumBoards, {ByReference(&board), ByReference(&driver)});
    SysFreeString(board);
    SysFreeString(driver);
}

void AcqControl::FireEnumSubsystem(const char* description, UINT kind, UINT element) {
    BSTR text = com::AllocBstr(description != nullptr ? description : "");
    SHORT type = static_cast<SHORT>(kind);
    SHORT number = static_cast<SHORT>(element);
    Fire(event::EnumSubsystems, {ByReference(&text), ByReference(&type), ByReference(&number)});
    SysFreeString(text);
}

void AcqControl::FireEnumCapability(UINT kind, double value1, double value2) {
    SHORT capability = static_cast<SHORT>(FromLibrary(ValueMap::kOffset, HXENUMCAP_FILTERS, kind));
    float first = static_cast<float>(value1);
    float second = static_cast<float>(value2);
    Fire(event::EnumSSCaps, {ByReference(&capability), ByReference(&first), ByReference(&second)});
}

}  // namespace mqacq32
