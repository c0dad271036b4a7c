// The public header compiles with nothing before it.
#include "plot32.h"
