#include "fix/c_conversions.h"
