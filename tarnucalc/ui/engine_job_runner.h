// Runs one engine cycle on a worker thread while the windows keep handling events in a
// nested loop; the cycle can be cut short through the engine (the helper process ends,
// or the in-process engine is interrupted).
#pragma once
#include <QObject>
#include <functional>

namespace tarnucalc::ui {

class AbortableEngine;

class EngineJobRunner : public QObject {
    Q_OBJECT
  public:
    // A job that runs longer than `slowAfterMs` is announced with slow().
    explicit EngineJobRunner(AbortableEngine &engine, int slowAfterMs = 500);

    // Returns when the job has ended: true when it completed, false when it was cancelled
    // or the engine cut it short. An exception from the job is thrown again here.
    bool run(const std::function<void()> &job);
    bool running() const { return running_; }
    // Asks the engine to stop the running job; nothing when none runs.
    void cancel();
    bool cancelled() const { return cancelled_; }
    // False for an engine in this process that cannot be stopped from outside.
    bool canCancel() const;

  signals:
    void slow();   // the job is still running after the delay
    void ended();  // the job is over, before run() returns

  private:
    AbortableEngine &engine_;
    int slowAfterMs_;
    bool running_ = false;
    bool cancelled_ = false;
};

}  // namespace tarnucalc::ui
