#include "com/storage.h"
