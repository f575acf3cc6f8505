#include "engine_serve.h"

#include <cstdint>
#include <string>

#include "engine_protocol.h"

namespace tarnucalc::ui {

namespace {

bool ReplyBindingError(int fd, const tarnu::BindingError &e) {
    return wire::Send(fd, wire::kBindingError) && wire::SendText(fd, e.what());
}

bool Serve(int fd, tarnu::Engine &engine, std::uint8_t op) {
    try {
        switch (op) {
            case wire::kInit:
                engine.init();
                return wire::Send(fd, wire::kOk);
            case wire::kCompile: {
                std::string text;
                if (!wire::ReceiveText(fd, text)) return false;
                void *handle = nullptr;
                int begin = 0, end = 0;
                const std::int32_t code = engine.compile(text, &handle, &begin, &end);
                const auto token = reinterpret_cast<std::uint64_t>(handle);
                return wire::Send(fd, wire::kOk) && wire::Send(fd, code) && wire::Send(fd, token) &&
                       wire::Send(fd, std::int32_t{begin}) && wire::Send(fd, std::int32_t{end});
            }
            case wire::kCalculate: {
                std::uint64_t token = 0;
                if (!wire::Receive(fd, token)) return false;
                const double value = engine.calculate(reinterpret_cast<void *>(token));
                return wire::Send(fd, wire::kOk) && wire::Send(fd, value);
            }
            case wire::kRelease:
                engine.release();
                return wire::Send(fd, wire::kOk);
            default:
                return false;  // not our peer: stop rather than guess
        }
    } catch (const tarnu::BindingError &e) {
        return ReplyBindingError(fd, e);
    }
}

}  // namespace

void ServeEngine(int fd, tarnu::Engine &engine) {
    std::uint8_t op = 0;
    while (wire::Receive(fd, op)) {
        if (!Serve(fd, engine, op)) break;
    }
}

}  // namespace tarnucalc::ui
