// Compiled with only the constants header on the include path, as kernel-mode code sees it.
#include "hxdacodes.h"

static_assert(HXSS_CT == 5 && HXINVALIDINDEXX4 == 131u && HXWM_IOCOMPLETE == 1138u);
