// The engine side of the channel between the window and its engine process: answers
// requests with the given engine until the channel closes.
#pragma once

#include "engine.h"

namespace tarnucalc::ui {

void ServeEngine(int fd, tarnu::Engine &engine);

}  // namespace tarnucalc::ui
