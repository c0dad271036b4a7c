// The MQ5130 family's model and subsystem tables.
#pragma once

#include "family_tables.h"

namespace mq5130 {

const boardext::FamilyTables& Family();

}  // namespace mq5130
