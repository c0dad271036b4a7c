#include "com/server/object.h"
