// Entry points of the Mq5200 extension library.
#include "family_lookup.h"
#include "main_dialog.h"
#include "mq5200_tables.h"
#include "win32/exports.h"

namespace {

BOOL WINAPI BoardInfoProcEx(UINT boardType, LPCSTR, LPCSTR* modelName,
                            const SubsystemCounts** counts) {
    return boardext::FindModel(mq5200::Family(), boardType, modelName, counts);
}

BOOL WINAPI PersonalityProcEx(UINT boardType, LPCSTR, UINT subsystemType, UINT element,
                              PersonalityRecord* record) {
    return boardext::FillPersonality(mq5200::Family(), boardType, subsystemType, element, record);
}

BOOL WINAPI GetChannelMapping(UINT boardType, LPCSTR, UINT subsystemType, UINT element,
                              ChannelMap* map) {
    return boardext::FindChannelMap(mq5200::Family(), boardType, subsystemType, element, map);
}

BOOL WINAPI MainDLG(LPCSTR boardName, std::uint32_t device) {
    return boardext::RunMainDialog(boardext::kMq5200DialogEntry, boardName, device, FALSE);
}

}  // namespace

MQ_EXPORTS_BEGIN
MQ_EXPORT(1, BoardInfoProcEx, 16)
MQ_EXPORT(2, GetChannelMapping, 20)
MQ_EXPORT_PLAIN(3, MainDLG)
MQ_EXPORT(4, PersonalityProcEx, 20)
MQ_EXPORTS_END
