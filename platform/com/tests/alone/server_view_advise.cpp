#include "com/server/view_advise.h"
