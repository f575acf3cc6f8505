// The few messages between the window and its engine process (engine_host.cpp). The
// engine keeps process-wide state and has no way to be stopped from outside; running it in
// a process of its own lets the window end a runaway calculation by ending that process,
// with nothing of the engine left half-changed in the window's own memory.
//
// Each request is one operation byte and its arguments; each reply starts with a status
// byte. Numbers travel in the machine's own layout: both ends are the same build.
#pragma once
#include <cstdint>
#include <string>

namespace tarnucalc::ui::wire {

enum Op : std::uint8_t { kInit = 'I', kCompile = 'C', kCalculate = 'K', kRelease = 'R' };
enum Status : std::uint8_t { kOk = 0, kBindingError = 1 };

// The host process finds its channel on this descriptor.
inline constexpr int kChannelFd = 3;

// Whole-buffer transfers over a stream socket; false when the peer is gone.
bool SendAll(int fd, const void *data, std::size_t size);
bool ReceiveAll(int fd, void *data, std::size_t size);

template <class T>
bool Send(int fd, const T &value) {
    return SendAll(fd, &value, sizeof value);
}
template <class T>
bool Receive(int fd, T &value) {
    return ReceiveAll(fd, &value, sizeof value);
}

bool SendText(int fd, const std::string &text);
// Texts longer than `limit` are refused (a corrupt length must not allocate gigabytes).
bool ReceiveText(int fd, std::string &text, std::uint32_t limit = 64u << 20);

}  // namespace tarnucalc::ui::wire
