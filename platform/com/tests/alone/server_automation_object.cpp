#include "com/server/automation_object.h"
