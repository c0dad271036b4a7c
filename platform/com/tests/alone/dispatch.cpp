#include "com/dispatch.h"
