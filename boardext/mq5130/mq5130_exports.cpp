// Entry points of the Mq5130 extension library.
#include "family_lookup.h"
#include "main_dialog.h"
#include "mq5130_tables.h"
#include "win32/exports.h"

namespace {

BOOL WINAPI BoardInfoProcEx(UINT boardType, LPCSTR, LPCSTR* modelName,
                            const SubsystemCounts** counts) {
    return boardext::FindModel(mq5130::Family(), boardType, modelName, counts);
}

BOOL WINAPI PersonalityProcEx(UINT boardType, LPCSTR, UINT subsystemType, UINT element,
                              PersonalityRecord* record) {
    return boardext::FillPersonality(mq5130::Family(), boardType, subsystemType, element, record);
}

BOOL WINAPI MainDLG(LPCSTR boardName, std::uint32_t device) {
    return boardext::RunMainDialog(boardext::kMq5130DialogEntry, boardName, device, FALSE);
}

}  // namespace

MQ_EXPORTS_BEGIN
MQ_EXPORT(1, BoardInfoProcEx, 16)
MQ_EXPORT_PLAIN(2, MainDLG)
MQ_EXPORT(3, PersonalityProcEx, 20)
MQ_EXPORTS_END
