// Engine cycles on a worker thread: the window keeps drawing and moving, shows a strip
// with a cancel button when a cycle takes long, and holds the user's input until the
// cycle is over (Esc cancels).
#include <exception>
#include <thread>
#include <utility>

#include "control_ids.h"
#include "private_messages.h"
#include "win32_view.h"

namespace tarnu::win32 {

bool Win32View::runEngineJob(const std::function<void()> &job) {
    engine_.beginJob();
    busy_ = true;
    jobDone_ = false;
    cancelled_ = false;
    std::exception_ptr failure;
    HWND window = main_;
    std::thread worker([&job, &failure, window] {
        try {
            job();
        } catch (...) {
            failure = std::current_exception();
        }
        PostMessageW(window, kJobDoneMessage, 0, 0);
    });
    SetTimer(main_, kBusyTimer, kBusyDelayMs, nullptr);
    bool quit = false;
    int quitCode = 0;
    MSG msg;
    while (!jobDone_) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {  // the session ends: stop the cycle, quit afterwards
            quit = true;
            quitCode = static_cast<int>(msg.wParam);
            cancelCalculation();
            continue;
        }
        if (got < 0) break;
        if (msg.message == kJobDoneMessage && msg.hwnd == main_) break;
        if (blockInput(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    worker.join();
    KillTimer(main_, kBusyTimer);
    KillTimer(main_, kDotsTimer);
    ShowWindow(busyStrip_, SW_HIDE);
    const bool done = !cancelled_ && !engine_.interrupted();
    busy_ = false;
    cancelled_ = !done;
    PostMessageW(main_, kAfterJobMessage, 0, 0);
    if (quit) PostQuitMessage(quitCode);
    if (failure) std::rethrow_exception(failure);
    return done;
}

// While a cycle runs the controller cannot take events: keys wait and are delivered
// afterwards in their order, clicks are dropped, Esc cancels. True when held.
bool Win32View::blockInput(const MSG &msg) {
    const bool key = msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST;
    const bool click = msg.message >= WM_LBUTTONDOWN && msg.message <= WM_MOUSELAST;
    if (!key && !click) return false;
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
        cancelCalculation();
        return true;
    }
    const HWND top = GetAncestor(msg.hwnd, GA_ROOT);
    if ((top != main_ && top != keypad_) || msg.hwnd == control(kBusyCancelId)) return false;
    if (key) deferredKeys_.push_back(msg);
    return true;
}

void Win32View::cancelCalculation() {
    if (!busy_ || cancelled_) return;
    cancelled_ = true;
    engine_.abort();
}

// What waited for the cycle: the user's keys, moves and resizes, and a close.
void Win32View::afterJob() {
    if (busy_) return;
    for (const MSG &m : deferredKeys_) {
        if (IsWindow(m.hwnd)) PostMessageW(m.hwnd, m.message, m.wParam, m.lParam);
    }
    deferredKeys_.clear();
    if (std::exchange(resizePending_, false)) {
        const Rect r = mainGeometry();
        forward([r](Controller &c) { c.onResize(r.width, r.height); });
    }
    if (std::exchange(movePending_, false)) forward([](Controller &c) { c.onMainMoved(); });
    if (std::exchange(keypadMovePending_, false) && keypad_)
        forward([](Controller &c) { c.onKeypadMoved(); });
    if (std::exchange(closePending_, false)) PostMessageW(main_, WM_CLOSE, 0, 0);
}

}  // namespace tarnu::win32
