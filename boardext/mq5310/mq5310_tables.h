// The MQ5310 family's models and subsystem tables.
#pragma once

#include "family_tables.h"

namespace mq5310 {

const boardext::FamilyTables& Family();

}  // namespace mq5310
