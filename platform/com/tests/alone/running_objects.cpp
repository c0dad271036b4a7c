#include "com/running_objects.h"
