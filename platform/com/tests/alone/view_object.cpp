#include "com/view_object.h"
