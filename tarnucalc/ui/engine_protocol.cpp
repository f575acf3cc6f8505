#include "engine_protocol.h"

#include <sys/socket.h>

#include <cerrno>

namespace tarnucalc::ui::wire {

bool SendAll(int fd, const void *data, std::size_t size) {
    auto *p = static_cast<const char *>(data);
    while (size > 0) {
        ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ReceiveAll(int fd, void *data, std::size_t size) {
    auto *p = static_cast<char *>(data);
    while (size > 0) {
        ssize_t n = ::recv(fd, p, size, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool SendText(int fd, const std::string &text) {
    const auto size = static_cast<std::uint32_t>(text.size());
    return Send(fd, size) && SendAll(fd, text.data(), text.size());
}

bool ReceiveText(int fd, std::string &text, std::uint32_t limit) {
    std::uint32_t size = 0;
    if (!Receive(fd, size) || size > limit) return false;
    text.resize(size);
    return ReceiveAll(fd, text.data(), size);
}

}  // namespace tarnucalc::ui::wire
