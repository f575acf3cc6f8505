// The block runner for x86 processors with AVX2: four doubles per vector. Built with
// AVX2 but without FMA and without contraction, so every operation stays the one
// IEEE operation the baseline runner performs, and results agree to the bit.
#if QUOREL_WIDE_BLOCKS
#define QUOREL_BLOCK_NS block_avx2
#include "block_kernel.h"
#endif
