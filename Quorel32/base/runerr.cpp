#include "runerr.h"

#include <atomic>

namespace quorel {

void ReportFormulaErr(int type, const char *name, int forType, void *handle) {
    if (ErrPending()) return;
    g.runErr.errType = type;
    g.runErr.funName = const_cast<char *>(name);
    g.runErr.funCode = 0;
    g.runErr.forType = forType;
    g.runErr.forHandle = handle;
}

void ReportFormulaErrShared(int type, const char *name, int forType, void *handle) {
    int none = 0;
    if (!std::atomic_ref<int>(g.runErr.errType).compare_exchange_strong(none, type)) return;
    g.runErr.funName = const_cast<char *>(name);
    g.runErr.funCode = 0;
    g.runErr.forType = forType;
    g.runErr.forHandle = handle;
}

void ReportRunErr(int type, const char *name, int code, const CallerInfo *caller) {
    if (ErrPending()) return;
    g.runErr.errType = type;
    g.runErr.funName = const_cast<char *>(name);
    g.runErr.funCode = code;
    g.runErr.forType = caller ? caller->type : 0;
    g.runErr.forHandle = caller ? caller->handle : nullptr;
}

void ForgetFormulaInRunErr(void *handle) {
    if (g.runErr.forHandle != handle) return;
    g.runErr.forType = 0;
    g.runErr.forHandle = nullptr;
}

}  // namespace quorel

using namespace quorel;

extern "C" {

QUOREL_API void QUOREL_CALL SetRunErr(int errType, char *funName, int funCode, int forType,
                                      void *forHandleOrCaller) {
    RunErrSlot &s = g.runErr;
    s.errType = errType;
    s.funName = funName;
    s.funCode = funCode;
    s.forType = forType;
    s.forHandle = forHandleOrCaller;
    // A host function passes on the CallerInfo it received; the slot names the formula.
    if (forType == 0 && forHandleOrCaller) {
        const auto *caller = static_cast<const CallerInfo *>(forHandleOrCaller);
        s.forType = caller->type;
        s.forHandle = caller->handle;
    }
}

QUOREL_API void QUOREL_CALL GetRunErr(int *errType, char **funName, int *funCode, int *forType,
                                      void **forHandle) {
    RunErrSlot &s = g.runErr;
    if (errType) *errType = s.errType;
    if (funName) *funName = s.funName;
    if (funCode) *funCode = s.funCode;
    if (forType) *forType = s.forType;
    if (forHandle) *forHandle = s.forHandle;
    s = RunErrSlot{};
}

QUOREL_API int QUOREL_CALL TestRunErr(void) {
    return g.runErr.errType;
}

}  // extern "C"
