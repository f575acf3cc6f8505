#pragma once
#include "../api/high.h"
#include "Quorel32.h"
