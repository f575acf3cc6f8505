// An engine process for the widget tests whose behaviour does not depend on the engine's
// language: "slow" compiles to a formula whose evaluation never ends, "bad" fails to
// compile, "unbound" reports a missing engine, "crash" ends the process, and a decimal
// number evaluates to itself.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "engine_protocol.h"
#include "engine_serve.h"

namespace {

class FakeEngine : public tarnu::Engine {
  public:
    void init() override {}
    int compile(const std::string &text, void **handle, int *, int *) override {
        if (text == "unbound") throw tarnu::BindingError("no engine here");
        if (text == "bad") return 1;
        if (text == "crash") std::abort();
        if (text == "slow") {
            *handle = &slow_;
            return 0;
        }
        value_ = std::strtod(text.c_str(), nullptr);
        *handle = &value_;
        return 0;
    }
    double calculate(void *handle) override {
        while (handle == &slow_) ::pause();
        return *static_cast<double *>(handle);
    }
    void release() override {}

  private:
    double value_ = 0;
    double slow_ = 0;
};

}  // namespace

int main() {
    FakeEngine engine;
    tarnucalc::ui::ServeEngine(tarnucalc::ui::wire::kChannelFd, engine);
    return 0;
}
