// The block runner for the target's baseline instruction set.
#define QUOREL_BLOCK_NS block_base
#include "block_kernel.h"
