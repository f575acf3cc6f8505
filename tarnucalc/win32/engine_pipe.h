// The engine as the window uses it: every call goes to a helper process (the program
// itself, started with kEngineHostSwitch) over two anonymous pipes, so that a runaway
// calculation can be cancelled by ending that process. The engine keeps process-wide
// state and cannot be stopped from outside; in a process of its own nothing of it is
// left half-changed in the window's memory.
#ifndef TARNU_WIN32_ENGINE_PIPE_H
#define TARNU_WIN32_ENGINE_PIPE_H

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "engine.h"

namespace tarnu::win32 {

inline constexpr const char *kEngineHostSwitch = "--engine-host";

class EnginePipe : public Engine {
  public:
    // `program`: the executable that serves the engine when given kEngineHostSwitch.
    explicit EnginePipe(std::wstring program);
    ~EnginePipe() override;
    EnginePipe(const EnginePipe &) = delete;
    EnginePipe &operator=(const EnginePipe &) = delete;

    void init() override;
    int compile(const std::string &text, void **handle, int *errBegin, int *errEnd) override;
    double calculate(void *handle) override;
    void release() override;

    // Thread-safe: the call in progress and the rest of the cycle return at once with a
    // failure; interrupted() says so until the next beginJob().
    void abort();
    void beginJob() { interrupted_ = false; }
    bool interrupted() const { return interrupted_.load(); }

  private:
    bool ensureStarted();
    bool start(std::uint8_t op);
    bool finish();
    void drop();
    void lose();
    bool write(const void *data, DWORD size);
    bool read(void *data, DWORD size);
    bool writeText(const std::string &text);
    bool readText(std::string &text);

    std::wstring program_;
    HANDLE toHost_ = nullptr, fromHost_ = nullptr;
    HANDLE process_ = nullptr;
    std::mutex processLock_;
    std::atomic<bool> interrupted_{false};
};

// The helper's side: serves `engine` over standard input and output until the pipe ends.
int ServeEngine(Engine &engine);

}  // namespace tarnu::win32

#endif
