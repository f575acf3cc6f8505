// Builds compiled formulas by hand (code bytes, operands, values) so the evaluator
// can be tested without the compiler. Records come from the engine allocator and are
// released with DestroyFormula.
#pragma once
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "base/alloc.h"
#include "base/formula.h"
#include "eval/destroy.h"

namespace asmf {

using quorel::Operand;

// Positions for jump operands of an unnamed formula without strings.
constexpr Operand CodeAt(int instrIndex) {
    return 3 + instrIndex;
}
constexpr Operand OpAt(int operandIndex) {
    return quorel::OperandStart + operandIndex;
}

template <class V>
struct Recipe {
    int paramLast = -1;
    int varCount = 0;
    int staticFirst = -1;  // -1: no statics (varCount)
    int freeVar = 0;
    std::vector<std::uint8_t> code;  // instructions; the final OpEnd is appended
    std::vector<Operand> ops;
    std::vector<V> vars;    // initial variable slots (rest zero)
    std::vector<V> consts;  // in order of use
    int stack = 8;
    std::vector<Operand> deps;
    int module = 1;
    std::string name;
    std::vector<std::string> strings;
};

template <class V>
quorel::CompiledFormula *Build(const Recipe<V> &s) {
    using namespace quorel;
    std::vector<std::uint8_t> code = {0, 0};
    code.insert(code.end(), s.name.begin(), s.name.end());
    code.push_back(0);
    for (const std::string &str : s.strings) {
        code.insert(code.end(), str.begin(), str.end());
        code.push_back(0);
    }
    Operand codeStart = static_cast<Operand>(code.size());
    code.insert(code.end(), s.code.begin(), s.code.end());
    code.push_back(OpEnd);

    std::vector<Operand> ints(OperandStart, 0);
    ints.insert(ints.end(), s.ops.begin(), s.ops.end());
    Operand depFirst = static_cast<Operand>(ints.size());
    ints.insert(ints.end(), s.deps.begin(), s.deps.end());

    std::vector<V> values(s.varCount, V{});
    for (size_t i = 0; i < s.vars.size(); ++i) values[i] = s.vars[i];
    values.insert(values.end(), s.consts.begin(), s.consts.end());
    Operand stackBase = static_cast<Operand>(values.size());
    values.resize(values.size() + s.stack, V{});

    auto *f = qnew<CompiledFormula>();
    f->code = static_cast<std::uint8_t *>(qalloc(code.size()));
    f->ints = static_cast<Operand *>(qalloc(ints.size() * sizeof(Operand)));
    f->values = qalloc(values.size() * sizeof(V));
    std::memcpy(f->code, code.data(), code.size());
    ints[ParamLast] = s.paramLast;
    ints[VarCount] = s.varCount;
    ints[CodeLength] = static_cast<Operand>(code.size());
    ints[IntCount] = static_cast<Operand>(ints.size());
    ints[ValueCount] = static_cast<Operand>(values.size());
    ints[CodeStart] = codeStart;
    ints[StackBase] = stackBase;
    ints[ModuleNo] = s.module;
    ints[Self] = reinterpret_cast<Operand>(f);
    ints[DepFirst] = depFirst;
    ints[DepLast] = depFirst + static_cast<Operand>(s.deps.size()) - 1;
    ints[StaticFirst] = s.staticFirst < 0 ? s.varCount : s.staticFirst;
    ints[FreeVar] = s.freeVar;
    ints[DomainTag] = std::is_same_v<V, std::int32_t> ? 1 : std::is_same_v<V, double> ? 2 : 3;
    std::memcpy(f->ints, ints.data(), ints.size() * sizeof(Operand));
    std::memcpy(f->values, values.data(), values.size() * sizeof(V));
    return f;
}

}  // namespace asmf
