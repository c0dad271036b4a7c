// The Plug and Play policy of a device: how PnpDeviceBase treats each state change. A device that
// does not call SetDefaultPnpPolicy has every bit clear.
#pragma once

#include "kernel/wdm.h"

namespace wdm {

namespace general_policy {
inline constexpr ULONG kFailAfterRemoval = 1u << 0;  // STATUS_DELETE_PENDING after removal
inline constexpr ULONG kFailBeforeStart = 1u << 1;   // STATUS_UNSUCCESSFUL before start
inline constexpr ULONG kDestroyAtRemoval = 1u << 2;  // at removal, or at the last close after
inline constexpr ULONG kWaitAtRemoval = 1u << 3;     // idle, then removed event
inline constexpr ULONG kDetachAtRemoval = 1u << 4;   // from the lower device
inline constexpr ULONG kKeepDeviceObject = 1u << 5;  // kept for reference; nothing depends on it
inline constexpr ULONG kManageInterfaces = 1u << 6;  // enable at start, disable at stop/removal
}  // namespace general_policy

// Query stop and query remove.
namespace query_policy {
inline constexpr ULONG kRefuseWhileOpen = 1u << 0;  // STATUS_DEVICE_BUSY while a file is open
inline constexpr ULONG kRefuseWhileBusy = 1u << 1;  // while another request is inside
inline constexpr ULONG kCancelSystemQueue = 1u << 2;
inline constexpr ULONG kWaitForIdle = 1u << 4;
inline constexpr ULONG kCancelHeldOnTimeout = 1u << 6;
}  // namespace query_policy

namespace hold_policy {
inline constexpr ULONG kWhileRemovePending = 1u << 0;
inline constexpr ULONG kWhileStopPending = 1u << 1;
inline constexpr ULONG kBeforeStart = 1u << 2;
inline constexpr ULONG kCancelFileAtCleanup = 1u << 3;
inline constexpr ULONG kFailAtRemoval = 1u << 4;
inline constexpr ULONG kCancelAtStop = 1u << 5;
inline constexpr ULONG kReleaseAtCancelStop = 1u << 6;
inline constexpr ULONG kReleaseAtCancelRemove = 1u << 7;
}  // namespace hold_policy

// Requests the lower driver sees before the device's handler runs.
namespace forward_policy {
inline constexpr ULONG kStartFirst = 1u << 0;
inline constexpr ULONG kCancelStopFirst = 1u << 1;
inline constexpr ULONG kCancelRemoveFirst = 1u << 2;
}  // namespace forward_policy

struct PnpPolicy {
    ULONG general = 0;
    ULONG queryStop = 0;
    ULONG queryRemove = 0;
    ULONG hold = 0;
    ULONG forward = 0;

    static PnpPolicy Default() {
        return {0x7F, query_policy::kRefuseWhileOpen | query_policy::kRefuseWhileBusy,
                query_policy::kRefuseWhileOpen | query_policy::kCancelSystemQueue |
                    query_policy::kWaitForIdle,
                0xDF, 0x07};
    }
};

}  // namespace wdm
