// Builds CompiledFormula records by hand and registers them as the compile driver
// does, so that registry code can be tested without the compiler.
#pragma once
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/alloc.h"
#include "base/engine.h"
#include "base/formula.h"
#include "eval/destroy.h"
#include "eval/live_formulas.h"
#include "keys/keytree.h"
#include "registry/modules.h"

namespace handmade {

using namespace quorel;

// A formula whose code holds its name, then the given string literals, then OpEnd.
inline CompiledFormula *Make(const std::string &name, int module, int paramLast = 0,
                             unsigned char flags = 0,
                             const std::vector<std::string> &strings = {}) {
    auto *f = qnew<CompiledFormula>();
    std::string area(2, '\0');
    area += name;
    area.push_back('\0');
    for (const std::string &str : strings) {
        area += str;
        area.push_back('\0');
    }
    int codeStart = static_cast<int>(area.size());
    f->code = qnew<std::uint8_t>(codeStart + 1);
    std::memcpy(f->code, area.data(), area.size());
    f->code[FlagsByte] = flags;
    f->ints = qnew<Operand>(OperandStart);
    f->ints[ParamLast] = paramLast;
    f->ints[VarCount] = paramLast + 1;
    f->ints[CodeLength] = codeStart + 1;
    f->ints[IntCount] = OperandStart;
    f->ints[ValueCount] = paramLast + 5;
    f->ints[CodeStart] = codeStart;
    f->ints[StackBase] = paramLast + 1;
    f->ints[ModuleNo] = module;
    f->ints[Self] = reinterpret_cast<Operand>(f);
    f->ints[DepFirst] = OperandStart;
    f->ints[DepLast] = OperandStart - 1;
    f->ints[StaticFirst] = paramLast + 1;
    f->values = qcalloc(4 + paramLast + 1, 16);
    return f;
}

// Registers like the compile driver: named formulas at the head of their key chain,
// unnamed ones at the head of the domain's list.
inline CompiledFormula *Add(int domain, const std::string &name, int module, int paramLast = 0,
                            unsigned char flags = 0, const std::vector<std::string> &strings = {}) {
    CompiledFormula *f = Make(name, module, paramLast, flags, strings);
    f->ints[DomainTag] = domain;
    AddLiveFormula(f);
    ModuleCountUp(module);
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

// Names module m and lists its imports, as the "Module" built-in does.
inline int Attach(int m, std::initializer_list<const char *> names) {
    std::string strings;
    std::vector<int> offsets;
    for (const char *n : names) {
        offsets.push_back(static_cast<int>(strings.size()));
        strings += n;
        strings.push_back('\0');
    }
    return ModuleAttachImports(m, strings.data(), offsets.data(), static_cast<int>(offsets.size()));
}

}  // namespace handmade
