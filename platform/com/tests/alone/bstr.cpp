#include "com/bstr.h"
