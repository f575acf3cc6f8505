// Allocation and growth of the compile work areas (their layout: base/build_buffers.h).
#pragma once
#include "../base/build_buffers.h"

namespace quorel {

// Allocates every buffer that is missing at its initial size; false on failure
// (what could not be allocated has capacity 0). Used by InitQuorel.
bool AllocBuildBuffers(BuildBuffers &b);
void FreeBuildBuffers(BuildBuffers &b);
// Grows one group for a growth code; false (group emptied, count 0) on failure.
bool GrowBuildBuffers(BuildBuffers &b, int growCode, int domain);

}  // namespace quorel
