#include "com/variant.h"
