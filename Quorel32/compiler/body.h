// The compiler body of a domain, run by the driver once per attempt.
#pragma once
#include "../base/domain.h"

namespace quorel {

// Compiles `text` into the build buffers for the zeroed record `rec`. Returns 0, a
// growth code (-1 .. -7) or an error code with the offsets written.
template <class D>
int CompileBody(const char *text, int module, CompiledFormula *rec, int *errBegin, int *errEnd);

}  // namespace quorel
