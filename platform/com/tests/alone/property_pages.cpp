#include "com/property_pages.h"
