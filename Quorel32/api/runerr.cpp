#include "runerr.h"

namespace quorel {

void ReportFormulaErr(int type, const char *name, int forType, void *handle) {
    if (ErrPending()) return;
    g.runErr.errType = type;
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
