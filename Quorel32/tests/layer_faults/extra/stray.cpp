#include "../base/low.h"
