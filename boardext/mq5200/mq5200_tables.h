// The MQ5200 family's models and subsystem tables.
#pragma once

#include "family_tables.h"

namespace mq5200 {

const boardext::FamilyTables& Family();

}  // namespace mq5200
