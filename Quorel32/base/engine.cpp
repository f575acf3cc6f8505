#include "engine.h"

namespace quorel {

// Loaded state: every pointer null, capacities 0, stack tops 1, copy mode on,
// teardown flag 1.
Engine g = [] {
    Engine e{};
    for (EvalStack &s : e.stacks) {
        s.used = 1;
        s.copyArgs = 1;
    }
    e.teardown = 1;
    return e;
}();

}  // namespace quorel
