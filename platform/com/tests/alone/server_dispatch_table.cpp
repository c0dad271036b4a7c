#include "com/server/dispatch_table.h"
