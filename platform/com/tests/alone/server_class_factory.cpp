#include "com/server/class_factory.h"
