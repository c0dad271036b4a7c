#include "com/ole.h"
