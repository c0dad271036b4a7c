#include "mqacq32/mqacq32.h"
