#include "engine_job_runner.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <exception>

#include "engine_process.h"

namespace tarnucalc::ui {

EngineJobRunner::EngineJobRunner(AbortableEngine &engine, int slowAfterMs)
    : engine_(engine), slowAfterMs_(slowAfterMs) {}

bool EngineJobRunner::canCancel() const {
    return engine_.canAbort();
}

void EngineJobRunner::cancel() {
    if (!running_ || cancelled_) return;
    cancelled_ = true;
    engine_.abort();
}

bool EngineJobRunner::run(const std::function<void()> &job) {
    engine_.beginJob();
    running_ = true;
    cancelled_ = false;
    std::exception_ptr failure;
    QEventLoop loop;
    QThread *worker = QThread::create([&job, &failure] {
        try {
            job();
        } catch (...) {
            failure = std::current_exception();
        }
    });
    connect(worker, &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    QTimer slowTimer;
    slowTimer.setSingleShot(true);
    connect(&slowTimer, &QTimer::timeout, this, &EngineJobRunner::slow);
    slowTimer.start(slowAfterMs_);
    worker->start();
    loop.exec();
    worker->wait();
    delete worker;
    const bool done = !cancelled_ && !engine_.interrupted();
    running_ = false;
    cancelled_ = !done;
    emit ended();
    if (failure) std::rethrow_exception(failure);
    return done;
}

}  // namespace tarnucalc::ui
