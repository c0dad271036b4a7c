// The MQ5120 family's models and subsystem tables.
#pragma once

#include "family_tables.h"

namespace mq5120 {

const boardext::FamilyTables& Family();

}  // namespace mq5120
