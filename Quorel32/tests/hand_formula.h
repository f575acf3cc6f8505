// Builds CompiledFormula records by hand and registers them as the compile driver
// does, so that registry code can be tested without the compiler.
#pragma once
#include <cstring>
#include <string>

#include "api/alloc.h"
#include "api/engine.h"
#include "eval/formula.h"
#include "keys/keytree.h"

namespace handmade {

using namespace quorel;

inline CompiledFormula *Make(const std::string &name, int module, int paramLast = 0,
                             unsigned char flags = 0) {
    auto *f = qnew<CompiledFormula>();
    int codeLen = static_cast<int>(name.size()) + 4;  // state, flags, name, NUL, OpEnd
    f->code = qnew<std::uint8_t>(codeLen);
    f->code[FlagsByte] = flags;
    std::memcpy(f->code + NameOffset, name.data(), name.size());
    f->ints = qnew<Operand>(OperandStart);
    f->ints[ParamLast] = paramLast;
    f->ints[CodeLength] = codeLen;
    f->ints[IntCount] = OperandStart;
    f->ints[ValueCount] = 4;
    f->ints[CodeStart] = codeLen - 1;
    f->ints[ModuleNo] = module;
    f->ints[Self] = reinterpret_cast<Operand>(f);
    f->ints[DepFirst] = OperandStart;
    f->ints[DepLast] = OperandStart - 1;
    f->values = qcalloc(4, 16);
    return f;
}

// Registers like the compile driver: named formulas at the head of their key chain,
// unnamed ones at the head of the domain's list.
inline CompiledFormula *Add(int domain, const std::string &name, int module, int paramLast = 0,
                            unsigned char flags = 0) {
    CompiledFormula *f = Make(name, module, paramLast, flags);
    if (name.empty()) {
        CompiledFormula *&head = g.unnamed[domain - 1];
        f->next = head;
        if (head) head->prev = f;
        head = f;
        return f;
    }
    KeyEntry *e = nullptr;
    int r = KeyInsert(name.data(), static_cast<int>(name.size()), KeyIntFor + domain - 1, f,
                      FormulaChainDeleter(domain), &e);
    if (r == InsertExists) {
        auto *old = static_cast<CompiledFormula *>(e->value);
        f->next = old;
        if (old) old->prev = f;
        e->value = f;
    }
    return f;
}

}  // namespace handmade
