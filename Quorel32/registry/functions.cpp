#include "functions.h"

#include <cstring>

#include "../base/alloc.h"
#include "../base/domain.h"
#include "../base/engine.h"
#include "../keys/keytree.h"

namespace quorel {

namespace {
// The two constant deleters free alike, but their addresses must differ (they mark
// who owns the constant); distinct bodies keep identical-code folding from merging them.
volatile int formulaConstsFreed = 0;

int ConstSize(int keyType) {
    switch (keyType) {
        case KeyIntConst:
            return sizeof(IntDomain::Value);
        case KeyRealConst:
            return sizeof(RealDomain::Value);
        case KeyComplexConst:
            return sizeof(ComplexDomain::Value);
        default:
            return 0;
    }
}
}  // namespace

void QUOREL_CALL HostConstDeleter(void *value) {
    qfree(value);
}
void QUOREL_CALL FormulaConstDeleter(void *value) {
    formulaConstsFreed = formulaConstsFreed + 1;
    qfree(value);
}

void QUOREL_CALL FunctionDeleter(void *p) {
    auto *node = static_cast<FunctionNode *>(p);
    while (ReferrerLink *link = RefHead(&node->referrers)) {
        SetRefHead(&node->referrers, link->next);
        // During the teardown sweep the calling formulas may already be gone.
        if (g.teardown) {
            Operand *callerInts = link->callerReferrers - Referrers;
            callerInts[CodeStart] = -5;
            for (Operand k = callerInts[DepFirst]; k <= callerInts[DepLast]; ++k) {
                if (callerInts[k] == reinterpret_cast<Operand>(&node->referrers)) {
                    callerInts[k] = 0;
                    break;
                }
            }
        }
        qfree(link);
    }
    qfree(node);
}

namespace {

QuorelSetResult SetResult(int insertResult) {
    switch (insertResult) {
        case InsertNew:
            return QUOREL_SET_DONE;
        case InsertExists:
            return QUOREL_SET_EXISTS;
        default:
            return QUOREL_SET_NO_MEMORY;
    }
}

}  // namespace

int RegisterFunction(int keyType, const char *name, void *function, int paraCode) {
    if (keyType < KeyIntFun || keyType > KeyComplexFun || !function) return QUOREL_SET_BAD_TYPE;
    auto *node = qnew<FunctionNode>();
    if (!node) return QUOREL_SET_NO_MEMORY;
    int len = KeyLen(name);
    if (len == 0) {
        qfree(node);
        return QUOREL_SET_EMPTY_NAME;
    }
    node->function = function;
    node->paraCode = paraCode;
    int r = KeyInsert(name, len, keyType, node, FunctionDeleter, nullptr);
    if (r != InsertNew) qfree(node);
    return SetResult(r);
}

int RegisterConst(int keyType, const char *name, int nameLen, const void *value, KeyDeleter del) {
    int size = ConstSize(keyType);
    if (size == 0 || !value) return QUOREL_SET_BAD_TYPE;
    void *copy = qalloc(size);
    if (!copy) return QUOREL_SET_NO_MEMORY;
    std::memcpy(copy, value, size);
    if (nameLen <= 0) {
        qfree(copy);
        return QUOREL_SET_EMPTY_NAME;
    }
    int r = KeyInsert(name, nameLen, keyType, copy, del, nullptr);
    if (r != InsertNew) qfree(copy);
    return SetResult(r);
}

}  // namespace quorel
