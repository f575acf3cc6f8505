// The engine as the window uses it: every call goes to a helper process (engine_host.cpp)
// so that a calculation that runs too long can be cancelled by ending that process. The
// engine state lives only there; cancelling never leaves it half-updated in this process.
#pragma once
#include <atomic>
#include <mutex>
#include <string>

#include "engine.h"

namespace tarnucalc::ui {

// An engine whose running call can be cut short from another thread.
class AbortableEngine : public tarnu::Engine {
  public:
    // Thread-safe. The call in progress (and the rest of the cycle) returns promptly with
    // a failure; interrupted() tells so until the next beginJob().
    virtual void abort() = 0;
    virtual void beginJob() = 0;
    virtual bool interrupted() const = 0;
    // False when abort() can only mark the cycle as unwanted, not stop it.
    virtual bool canAbort() const { return true; }
};

class EngineProcess : public AbortableEngine {
  public:
    explicit EngineProcess(std::string hostPath);
    ~EngineProcess() override;
    EngineProcess(const EngineProcess &) = delete;
    EngineProcess &operator=(const EngineProcess &) = delete;

    // Next to the running program, as installed and as built.
    static std::string defaultHostPath();

    void init() override;
    int compile(const std::string &text, void **handle, int *errBegin, int *errEnd) override;
    double calculate(void *handle) override;
    void release() override;

    void abort() override;
    void beginJob() override;
    bool interrupted() const override { return interrupted_.load(); }

    // Id of the helper process (0 when none runs); for tests.
    int hostPid() const { return pid_.load(); }

  private:
    bool ensureStarted();
    bool start(std::uint8_t op);  // false: the cycle was cut short or the helper is gone
    bool finish();                // reads the reply's status; throws a binding error
    void drop();                  // ends the helper
    void lose();                  // the helper is gone or misbehaved: the cycle is cut short
    void reap();

    std::string hostPath_;
    int fd_ = -1;
    std::atomic<int> pid_{0};
    std::atomic<bool> interrupted_{false};
    std::mutex pidLock_;
};

}  // namespace tarnucalc::ui

namespace tarnucalc::ui {

// The engine in this process, for when the helper program is missing: cycles still run
// off the window's thread, and a cancel interrupts the engine's calculation. With a
// library that cannot be interrupted the cycle can only be waited for and discarded.
class InProcessEngine : public AbortableEngine {
  public:
    explicit InProcessEngine(tarnu::Engine &engine) : engine_(engine) {}
    void init() override { engine_.init(); }
    int compile(const std::string &text, void **handle, int *errBegin, int *errEnd) override {
        return engine_.compile(text, handle, errBegin, errEnd);
    }
    // A cancel that came before the calculation began stops it here; one that comes
    // while it runs interrupts the engine.
    double calculate(void *handle) override { return interrupted_ ? 0 : engine_.calculate(handle); }
    void release() override { engine_.release(); }
    void abort() override {
        interrupted_ = true;
        engine_.interrupt();
    }
    void beginJob() override { interrupted_ = false; }
    bool interrupted() const override { return interrupted_.load(); }
    bool canAbort() const override { return engine_.canInterrupt(); }

  private:
    tarnu::Engine &engine_;
    std::atomic<bool> interrupted_{false};
};

}  // namespace tarnucalc::ui
