// The evaluator's dispatch: one list of instruction codes and one set of macros from
// which both forms of the dispatch loop are made. With GCC or Clang each handler ends
// in its own indirect jump through a 256-entry table; elsewhere (or with
// QUOREL_NO_COMPUTED_GOTO) the same handler bodies become the cases of a switch.
#pragma once
#include <cstddef>

#include "../base/formula.h"

#if (defined(__GNUC__) || defined(__clang__)) && !defined(QUOREL_NO_COMPUTED_GOTO)
#define QUOREL_COMPUTED_GOTO 1
#define QUOREL_NOINLINE __attribute__((noinline))
#define QUOREL_INLINE inline __attribute__((always_inline))
#define QUOREL_UNUSED_LABEL __attribute__((unused))
#else
#define QUOREL_COMPUTED_GOTO 0
#define QUOREL_NOINLINE
#define QUOREL_INLINE inline
#define QUOREL_UNUSED_LABEL
#endif

// Every code below the intrinsics, in code order. A handler is written once as
// `vmcase(OpX)`; the table below takes its label from this list, so a code without a
// handler does not compile in the computed-goto form.
// clang-format off
#define QUOREL_EVAL_OPS(X)                                                                 \
    X(OpEnd) X(OpPushConst) X(OpPushVar) X(OpPushCommon) X(OpAdd) X(OpSub) X(OpMul)         \
    X(OpDiv) X(OpPow) X(OpGt) X(OpGe) X(OpLt) X(OpLe) X(OpEq) X(OpNe) X(OpAnd) X(OpOr)       \
    X(OpNot) X(OpStoreVar) X(OpStoreCommon) X(OpCallIntFor) X(OpCallRealFor)                \
    X(OpCallComplexFor) X(OpCallFun) X(OpCommaList) X(OpIfTest) X(OpIfEnd) X(OpWhileTest)   \
    X(OpWhileEnd) X(OpBreak) X(OpContinue) X(OpUntilTest) X(OpWhichTest) X(OpWhichTaken)    \
    X(OpWhichFail) X(OpWhichDefault) X(OpNeg) X(OpIncVar) X(OpDecVar) X(OpIncCommon)        \
    X(OpDecCommon) X(OpVarInc) X(OpVarDec) X(OpCommonInc) X(OpCommonDec)
// clang-format on

namespace quorel::dispatch {

// The list must name every code from 0 to OpIntrinsicBase - 1 in order: the table is
// indexed by code.
#define QUOREL_OP_VALUE(name) name,
constexpr Op kListed[] = {QUOREL_EVAL_OPS(QUOREL_OP_VALUE)};
#undef QUOREL_OP_VALUE
constexpr bool InCodeOrder() {
    for (std::size_t i = 0; i < sizeof kListed / sizeof kListed[0]; ++i)
        if (kListed[i] != i) return false;
    return sizeof kListed / sizeof kListed[0] == OpIntrinsicBase;
}
static_assert(InCodeOrder(), "QUOREL_EVAL_OPS must list codes 0 .. OpIntrinsicBase-1 in order");

}  // namespace quorel::dispatch

// clang-format off
#if QUOREL_COMPUTED_GOTO
#define vmdispatch(x) goto *jump[x];
#define vmcase(l) L_##l:
#define vmbreak vmdispatch(*pc++)
// Intrinsic c has a handler only when the domain `D` has that many intrinsics.
#define QUOREL_INTR_LABEL(c) ((c) < OpIntrinsicBase + D::intrinsicCount ? &&L_##c : &&L_bad)
#define QUOREL_OP_LABEL(name) &&L_##name,
#define QUOREL_BAD4 &&L_bad, &&L_bad, &&L_bad, &&L_bad
#define QUOREL_BAD16 QUOREL_BAD4, QUOREL_BAD4, QUOREL_BAD4, QUOREL_BAD4
#define QUOREL_BAD64 QUOREL_BAD16, QUOREL_BAD16, QUOREL_BAD16, QUOREL_BAD16
// The table of a dispatch loop over domain `D`, with handlers L_OpX, L_46 .. L_60
// and L_bad for codes no compiler emits.
#define QUOREL_JUMP_TABLE(jump)                                                              \
    static const void *const jump[256] = {                                                   \
        QUOREL_EVAL_OPS(QUOREL_OP_LABEL) &&L_bad, QUOREL_INTR_LABEL(46),                     \
        QUOREL_INTR_LABEL(47), QUOREL_INTR_LABEL(48), QUOREL_INTR_LABEL(49),                  \
        QUOREL_INTR_LABEL(50), QUOREL_INTR_LABEL(51), QUOREL_INTR_LABEL(52),                  \
        QUOREL_INTR_LABEL(53), QUOREL_INTR_LABEL(54), QUOREL_INTR_LABEL(55),                  \
        QUOREL_INTR_LABEL(56), QUOREL_INTR_LABEL(57), QUOREL_INTR_LABEL(58),                  \
        QUOREL_INTR_LABEL(59), QUOREL_INTR_LABEL(60), QUOREL_BAD64, QUOREL_BAD64,             \
        QUOREL_BAD64, &&L_bad, &&L_bad, &&L_bad};                                             \
    static_assert(sizeof jump / sizeof jump[0] == 256)
// An intrinsic handler: computed goto reaches it only through the table.
#define vmintrinsic(c, body) \
    vmcase(c) body;          \
    vmbreak;
#else
#define vmdispatch(x) switch (x)
#define vmcase(l) case l:
// Not `break`: handlers may leave from inside do-while blocks, where a break would
// only end the block and fall into the next case.
#define vmbreak goto L_dispatch
#define QUOREL_JUMP_TABLE(jump) static_assert(true)
#define vmintrinsic(c, body)                                            \
    vmcase(c) if (c >= OpIntrinsicBase + D::intrinsicCount) goto L_bad; \
    body;                                                               \
    vmbreak;
#endif
// clang-format on
