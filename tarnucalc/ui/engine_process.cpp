#include "engine_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>

#include "engine_protocol.h"
#include "locations.h"

extern char **environ;

namespace tarnucalc::ui {

EngineProcess::EngineProcess(std::string hostPath) : hostPath_(std::move(hostPath)) {}

EngineProcess::~EngineProcess() {
    // The helper keeps nothing worth finishing: every cycle starts from a fresh engine.
    lose();
}

std::string EngineProcess::defaultHostPath() {
    return tarnu::programDirectory() + "/tarnucalc-engine";
}

bool EngineProcess::ensureStarted() {
    if (fd_ >= 0) return true;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // dup2 clears close-on-exec on the child's copy.
    posix_spawn_file_actions_adddup2(&actions, pair[1], wire::kChannelFd);
    char *argv[] = {const_cast<char *>(hostPath_.c_str()), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, hostPath_.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pair[1]);
    if (rc != 0) {
        ::close(pair[0]);
        return false;
    }
    fd_ = pair[0];
    std::lock_guard<std::mutex> lock(pidLock_);
    pid_ = pid;
    return true;
}

void EngineProcess::reap() {
    std::lock_guard<std::mutex> lock(pidLock_);
    const int pid = pid_.exchange(0);
    if (pid > 0) ::waitpid(pid, nullptr, 0);
}

void EngineProcess::drop() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    {
        std::lock_guard<std::mutex> lock(pidLock_);
        if (const int pid = pid_.load(); pid > 0) ::kill(pid, SIGKILL);
    }
    reap();
}

void EngineProcess::lose() {
    drop();
    interrupted_ = true;
}

void EngineProcess::abort() {
    std::lock_guard<std::mutex> lock(pidLock_);
    interrupted_ = true;
    // The blocked call sees its channel end and returns; lose() then reaps the process.
    if (const int pid = pid_.load(); pid > 0) ::kill(pid, SIGKILL);
}

void EngineProcess::beginJob() {
    interrupted_ = false;
}

bool EngineProcess::start(std::uint8_t op) {
    if (interrupted_) return false;  // the rest of a cancelled cycle does nothing
    if (!ensureStarted() || interrupted_) return lose(), false;
    if (!wire::Send(fd_, op)) return lose(), false;
    return true;
}

bool EngineProcess::finish() {
    std::uint8_t status = 0;
    if (!wire::Receive(fd_, status)) return lose(), false;
    if (status == wire::kOk) return true;
    std::string message;
    if (status != wire::kBindingError || !wire::ReceiveText(fd_, message)) return lose(), false;
    throw tarnu::BindingError(message);
}

void EngineProcess::init() {
    // A helper that ended while idle (killed from outside) is replaced once, quietly,
    // so that the user's calculation is not lost to it.
    if (interrupted_) return;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (ensureStarted() && !interrupted_ && wire::Send(fd_, wire::kInit)) {
            finish();
            return;
        }
        drop();
    }
    lose();
}

int EngineProcess::compile(const std::string &text, void **handle, int *errBegin, int *errEnd) {
    *handle = nullptr;
    std::int32_t code = -1, begin = 0, end = 0;
    std::uint64_t token = 0;
    if (!start(wire::kCompile)) return -1;
    if (!wire::SendText(fd_, text)) return lose(), -1;
    if (!finish()) return -1;
    if (!wire::Receive(fd_, code) || !wire::Receive(fd_, token) || !wire::Receive(fd_, begin) ||
        !wire::Receive(fd_, end))
        return lose(), -1;
    *handle = reinterpret_cast<void *>(token);
    *errBegin = begin;
    *errEnd = end;
    return code;
}

double EngineProcess::calculate(void *handle) {
    double value = 0;
    if (!start(wire::kCalculate)) return 0;
    if (!wire::Send(fd_, reinterpret_cast<std::uint64_t>(handle))) return lose(), 0;
    if (!finish()) return 0;
    if (!wire::Receive(fd_, value)) return lose(), 0;
    return value;
}

void EngineProcess::release() {
    if (start(wire::kRelease)) finish();
}

}  // namespace tarnucalc::ui
