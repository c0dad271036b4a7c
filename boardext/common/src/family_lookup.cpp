#include "family_lookup.h"

namespace boardext {

BOOL FindModel(const FamilyTables& family, UINT boardType, LPCSTR* modelName,
               const SubsystemCounts** counts) {
    if (modelName == nullptr || counts == nullptr)
        return FALSE;
    for (const ModelRow& row : family.models) {
        if (row.boardType == boardType) {
            *modelName = row.modelName;
            *counts = row.counts;
            return TRUE;
        }
    }
    return FALSE;
}

BOOL FillPersonality(const FamilyTables& family, UINT boardType, UINT subsystemType, UINT element,
                     PersonalityRecord* record) {
    if (record == nullptr)
        return FALSE;
    for (const PersonalityRow& row : family.personalities) {
        if (!row.match.Matches(boardType, subsystemType, element))
            continue;
        const SubsystemTables& tables = *row.tables;
        if (!tables.gains.empty())
            record->gains = tables.gains.data();
        if (tables.ranges != nullptr) {
            record->rangeMinima = &tables.ranges->minimaCell;
            record->rangeMaxima = &tables.ranges->maximaCell;
        }
        if (!tables.filters.empty())
            record->filters = tables.filters.data();
        if (!tables.resolutions.empty())
            record->resolutions = tables.resolutions.data();
        if (tables.capabilities != nullptr)
            record->capabilities = tables.capabilities;
        if (tables.clockLimits != nullptr)
            record->clockLimits = tables.clockLimits;
        return TRUE;
    }
    return FALSE;
}

BOOL FindChannelMap(const FamilyTables& family, UINT boardType, UINT subsystemType, UINT element,
                    ChannelMap* out) {
    if (out == nullptr)
        return FALSE;
    for (const ChannelMapRow& row : family.channelMaps) {
        if (!row.match.Matches(boardType, subsystemType, element))
            continue;
        if (row.map == nullptr)
            return FALSE;
        *out = *row.map;
        return TRUE;
    }
    return FALSE;
}

}  // namespace boardext
