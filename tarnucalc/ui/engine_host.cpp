// tarnucalc-engine: runs the engine on behalf of the calculator window, one request at a
// time, over the channel the window hands it. It ends when the channel closes.
#include "engine_protocol.h"
#include "engine_serve.h"
#include "locations.h"
#include "quorel_library.h"

int main() {
    tarnu::QuorelLibrary engine(tarnu::QuorelLibrary::defaultCandidates(tarnu::programDirectory()));
    tarnucalc::ui::ServeEngine(tarnucalc::ui::wire::kChannelFd, engine);
    return 0;
}
