// Entry points of the Mq5120 extension library.
#include "family_lookup.h"
#include "mq5120_tables.h"
#include "win32/exports.h"

namespace {

BOOL WINAPI BoardInfoProcEx(UINT boardType, LPCSTR, LPCSTR* modelName,
                            const SubsystemCounts** counts) {
    return boardext::FindModel(mq5120::Family(), boardType, modelName, counts);
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

// Ordinal 3 is kept for the advanced-settings dialog.
MQ_EXPORTS_BEGIN
MQ_EXPORT(1, BoardInfoProcEx, 16)
MQ_EXPORT(2, GetChannelMapping, 20)
MQ_EXPORT(4, PersonalityProcEx, 20)
MQ_EXPORTS_END
