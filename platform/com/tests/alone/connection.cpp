#include "com/connection.h"
