// Entry points of the MQ5310 extension library.
#include "family_lookup.h"
#include "mq5310_tables.h"
#include "win32/exports.h"

namespace {

BOOL WINAPI BoardInfoProcEx(UINT boardType, LPCSTR, LPCSTR* modelName,
                            const SubsystemCounts** counts) {
    return boardext::FindModel(mq5310::Family(), boardType, modelName, counts);
}

BOOL WINAPI PersonalityProcEx(UINT boardType, LPCSTR, UINT subsystemType, UINT element,
                              PersonalityRecord* record) {
    return boardext::FillPersonality(mq5310::Family(), boardType, subsystemType, element, record);
}

}  // namespace

MQ_EXPORTS_BEGIN
MQ_EXPORT(1, BoardInfoProcEx, 16)
MQ_EXPORT(2, PersonalityProcEx, 20)
MQ_EXPORTS_END
