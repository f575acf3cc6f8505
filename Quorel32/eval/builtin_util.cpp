#include "builtin_util.h"

namespace quorel {

const char *CallerText(const CallerInfo *caller, int offset) {
    if (!caller || caller->type < DomainInt || caller->type > DomainComplex || !caller->handle)
        return nullptr;
    auto *f = static_cast<const CompiledFormula *>(caller->handle);
    if (offset < 0 || offset >= f->ints[CodeStart]) return nullptr;
    return reinterpret_cast<const char *>(f->code) + offset;
}

}  // namespace quorel
