#include "engine.h"

namespace quorel {

// Loaded state (the member initializers): every pointer null, capacities 0, stack
// tops 1, copy mode on, teardown flag 1.
constinit Engine g{};

}  // namespace quorel
