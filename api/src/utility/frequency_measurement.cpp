#include "utility/frequency_measurement.h"

#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "core/engine.h"
#include "hxda/api_status.h"
#include "win32/messages.h"
#include "win32/mmsystem.h"

namespace hxda {
namespace {

constexpr double kMinGateSeconds = 0.001;
constexpr double kMaxGateSeconds = 4294967.0;

struct PendingMeasurement {
    HWND window = nullptr;
    double gateSeconds = 0.0;
    UINT timer = 0;
};

// Measurements whose timer has not fired yet, by subsystem. The timer callback takes its entry out;
// a release that finds the entry still there kills the timer instead.
class PendingMeasurements {
  public:
    void add(HDASS hDass, const PendingMeasurement& measurement) {
        std::lock_guard guard(mutex_);
        pending_[hDass] = measurement;
    }
    void setTimer(HDASS hDass, UINT timer) {
        std::lock_guard guard(mutex_);
        if (auto found = pending_.find(hDass); found != pending_.end())
            found->second.timer = timer;
    }
    bool take(HDASS hDass, PendingMeasurement* measurement) {
        std::lock_guard guard(mutex_);
        const auto found = pending_.find(hDass);
        if (found == pending_.end())
            return false;
        *measurement = found->second;
        pending_.erase(found);
        return true;
    }
    std::map<HDASS, PendingMeasurement> takeAll() {
        std::lock_guard guard(mutex_);
        return std::exchange(pending_, {});
    }

  private:
    std::mutex mutex_;
    std::map<HDASS, PendingMeasurement> pending_;
};

PendingMeasurements& pendingMeasurements() {
    static PendingMeasurements pending;
    return pending;
}

LPARAM floatBits(float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return static_cast<LPARAM>(bits);
}

void CALLBACK gateElapsed(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    const auto hDass = static_cast<HDASS>(user);
    PendingMeasurement measurement;
    if (!pendingMeasurements().take(hDass, &measurement))
        return;  // cancelled meanwhile
    // A failed read leaves the count at 0, so the result is 0 Hz; the message still goes out,
    // since the caller waits for it to end the measurement.
    UINT count = 0;
    if (hxDaReadEvents(hDass, &count) != HXNOERROR)
        count = 0;
    hxDaStop(hDass);
    const LPARAM result = floatBits(static_cast<float>(count / measurement.gateSeconds));
    PostMessageA(measurement.window, HXWM_MEASUREDONE, hDass, result);

    // The subsystem's own notification target, read only while its handle is still live.
    const std::shared_ptr<SubsystemRecord> subsystem = findSubsystem(hDass);
    if (!subsystem)
        return;
    HWND window = nullptr;
    NotifyProc procedure = nullptr;
    std::uint32_t firstValue = 0;
    {
        SubsystemLock hold(*subsystem);
        window = subsystem->window;
        procedure = subsystem->notifyProcedure;
        firstValue = subsystem->procedureFirstValue;
    }
    if (procedure != nullptr)
        procedure(HXWM_MEASUREDONE, firstValue, result);
    else if (window != nullptr && window != measurement.window)
        PostMessageA(window, HXWM_MEASUREDONE, hDass, result);
}

}  // namespace

ApiStatus measureFrequency(HDASS hDass, HWND window, double gateSeconds) {
    const CallDeadline deadline;  // one for the configuration and the start together
    const std::shared_ptr<SubsystemRecord> subsystem = findSubsystem(hDass);
    if (!subsystem)
        return HXINVALIDSSHANDLE;
    if (window == nullptr)
        return HXNOMEASUREWINDOW;
    if (!(gateSeconds >= kMinGateSeconds && gateSeconds <= kMaxGateSeconds))
        return HXINVALIDCOUNTDURATION;
    if (const ApiStatus status = ApiStatus::FromCode(hxDaSetCTMode(hDass, HXCTMODE_COUNTEVENTS));
        status != HXNOERROR)
        return status;
    if (const ApiStatus status = ApiStatus::FromCode(hxDaConfig(hDass)); status != HXNOERROR)
        return status;
    UINT resolution = 0;
    if (const ApiStatus status = ApiStatus::FromCode(hxDaGetResolution(hDass, &resolution));
        status != HXNOERROR)
        return status;
    {
        SubsystemLock hold(*subsystem);
        subsystem->block().measurementWindow =
            static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window));
        subsystem->block().measurementGateTime = gateSeconds;
    }
    if (const ApiStatus status = ApiStatus::FromCode(hxDaStart(hDass)); status != HXNOERROR) {
        hxDaStop(hDass);
        return status;
    }
    pendingMeasurements().add(hDass, {window, gateSeconds, 0});
    const UINT timer = timeSetEvent(static_cast<UINT>(std::lround(gateSeconds * 1000.0)), 0,
                                    &gateElapsed, hDass, TIME_ONESHOT);
    if (timer == 0) {
        PendingMeasurement unused;
        pendingMeasurements().take(hDass, &unused);
        hxDaStop(hDass);
        return HXGENERALFAILURE;
    }
    pendingMeasurements().setTimer(hDass, timer);
    return HXNOERROR;
}

void cancelFrequencyMeasurement(HDASS hDass) {
    PendingMeasurement measurement;
    if (pendingMeasurements().take(hDass, &measurement) && measurement.timer != 0)
        timeKillEvent(measurement.timer);
}

void cancelAllFrequencyMeasurements() {
    for (const auto& [hDass, measurement] : pendingMeasurements().takeAll())
        if (measurement.timer != 0)
            timeKillEvent(measurement.timer);
}

}  // namespace hxda
