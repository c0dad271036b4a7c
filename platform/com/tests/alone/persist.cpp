#include "com/persist.h"
