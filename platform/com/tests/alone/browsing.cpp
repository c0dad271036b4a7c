#include "com/browsing.h"
