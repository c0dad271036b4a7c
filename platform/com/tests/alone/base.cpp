#include "com/base.h"
