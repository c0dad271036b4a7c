// Entry points of the Mq5120 extension library.
#include <atomic>

#include "family_lookup.h"
#include "hxdacodes.h"
#include "main_dialog.h"
#include "mq5120_tables.h"
#include "win32/exports.h"

namespace {

// The counts of the model found by the last BoardInfoProcEx, which the dialog reads to know
// whether the open board has analog inputs; before any, those of the first row (type 0). Atomic:
// programs open boards on several threads at once.
std::atomic<const SubsystemCounts*> g_foundCounts{nullptr};

BOOL WINAPI BoardInfoProcEx(UINT boardType, LPCSTR, LPCSTR* modelName,
                            const SubsystemCounts** counts) {
    const BOOL found = boardext::FindModel(mq5120::Family(), boardType, modelName, counts);
    if (found)
        g_foundCounts.store(*counts, std::memory_order_release);
    return found;
}

BOOL WINAPI MainDLG(LPCSTR boardName, std::uint32_t device) {
    const SubsystemCounts* found = g_foundCounts.load(std::memory_order_acquire);
    const bool hasAnalogInputs = found == nullptr || found->count[HXSS_AD] > 0;
    return boardext::RunMainDialog(boardext::kMq5120DialogEntry, boardName, device,
                                   hasAnalogInputs ? TRUE : FALSE);
}

BOOL WINAPI PersonalityProcEx(UINT boardType, LPCSTR, UINT subsystemType, UINT element,
                              PersonalityRecord* record) {
    return boardext::FillPersonality(mq5120::Family(), boardType, subsystemType, element, record);
}

BOOL WINAPI GetChannelMapping(UINT boardType, LPCSTR, UINT subsystemType, UINT element,
                              ChannelMap* map) {
    return boardext::FindChannelMap(mq5120::Family(), boardType, subsystemType, element, map);
}

}  // namespace

MQ_EXPORTS_BEGIN
MQ_EXPORT(1, BoardInfoProcEx, 16)
MQ_EXPORT(2, GetChannelMapping, 20)
MQ_EXPORT_PLAIN(3, MainDLG)
MQ_EXPORT(4, PersonalityProcEx, 20)
MQ_EXPORTS_END
