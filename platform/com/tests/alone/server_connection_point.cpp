#include "com/server/connection_point.h"
