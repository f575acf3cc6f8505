// The compiler body: runs the passes over the shared build buffers and leaves the
// finished header, code, operands and values there for the driver to copy.
#include "body.h"

#include <cstring>

#include "../base/runerr.h"
#include "domain_syntax.h"
#include "emit.h"

namespace quorel {

namespace {

template <class D>
int Finish(Ctx &c) {
    GenState &g = c.g;
    if (int r = NeedCode(c, 0)) return r;
    c.b.code[g.cp++] = OpEnd;
    int stackBase = c.pool;
    int valueCount = stackBase + g.maxDepth;
    if (valueCount > ValueCap<D>(c)) return GrowValues;
    if (ErrPending()) return OffErr(c, QUOREL_ERR_RUN_ERROR_PENDING, 0, 0);  // raised by folding
    Operand *ints = c.b.ints;
    // The dependency list moves from the top of the buffer to behind the operands,
    // in the order the callees were met.
    if (g.ip + 2 * c.deps > c.b.intCap) return GrowInts;
    for (int k = 0; k < c.deps; ++k) ints[g.ip + k] = ints[c.b.intCap - 1 - k];
    ints[ParamLast] = c.params - 1;
    ints[VarCount] = c.vars;
    ints[CodeLength] = g.cp;
    ints[IntCount] = g.ip + c.deps;
    ints[ValueCount] = valueCount;
    ints[CodeStart] = c.strPos;
    ints[StackBase] = stackBase;
    ints[ModuleNo] = c.module;
    ints[Self] = reinterpret_cast<Operand>(c.rec);
    ints[Referrers] = 0;
    ints[DepFirst] = g.ip;
    ints[DepLast] = g.ip + c.deps - 1;
    ints[StaticFirst] = c.staticFirst;
    ints[FreeVar] = c.freeVar;
    ints[DomainTag] = D::type;
    // Parameters, automatic and static variables all start at zero.
    auto *values = ValueBuf<D>(c);
    for (int v = 0; v < c.vars; ++v) values[v] = typename D::Value{};
    return 0;
}

}  // namespace

template <class D>
int CompileBody(const char *text, int module, CompiledFormula *rec, int *errBegin, int *errEnd) {
    Ctx c{g.build,
          text,
          static_cast<int>(std::strlen(text)),
          module,
          rec,
          errBegin,
          errEnd,
          Syntax{D::hasPower, D::hasRemainder, D::hasImaginary},
          D::type};
    int r;
    if ((r = Lex(c)) || (r = ReadHeader(c)) || (r = CheckBrackets(c)) || (r = NameIntoCode(c)) ||
        (r = RewriteDotCalls(c)) || (r = Resolve<D>(c)) || (r = CheckOperators(c)) ||
        (r = Generate<D>(c)))
        return r;
    return Finish<D>(c);
}

template int CompileBody<IntDomain>(const char *, int, CompiledFormula *, int *, int *);
template int CompileBody<RealDomain>(const char *, int, CompiledFormula *, int *, int *);
template int CompileBody<ComplexDomain>(const char *, int, CompiledFormula *, int *, int *);

}  // namespace quorel
