// The entry points' answers, read from a family's tables.
#pragma once

#include "boardext/extension_interface.h"
#include "family_tables.h"

namespace boardext {

// The first model row of the board type: writes its name and counts and returns TRUE; FALSE
// (nothing written) for an unknown type or a null output.
BOOL FindModel(const FamilyTables& family, UINT boardType, LPCSTR* modelName,
               const SubsystemCounts** counts);

// Fills the set fields of the record from the first matching personality row and returns TRUE;
// FALSE with the record untouched when no row matches or the record is null.
BOOL FillPersonality(const FamilyTables& family, UINT boardType, UINT subsystemType, UINT element,
                     PersonalityRecord* record);

// Writes the map of the first matching channel-map row and returns TRUE; FALSE with out
// untouched when no row matches, the row has no map, or out is null.
BOOL FindChannelMap(const FamilyTables& family, UINT boardType, UINT subsystemType, UINT element,
                    ChannelMap* out);

}  // namespace boardext
