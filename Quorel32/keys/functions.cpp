#include "functions.h"

#include <cstring>

#include "../api/alloc.h"
#include "../api/engine.h"
#include "keytree.h"

namespace quorel {

void QUOREL_CALL HostConstDeleter(void *value) { qfree(value); }
void QUOREL_CALL FormulaConstDeleter(void *value) { qfree(value); }

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

int RegisterFunction(int keyType, const char *name, void *function, int paraCode) {
    if (keyType < KeyIntFun || keyType > KeyComplexFun) return 4;
    auto *node = qnew<FunctionNode>();
    if (!node) return 2;
    int len = KeyLen(name);
    if (len == 0) {
        qfree(node);
        return 3;
    }
    node->function = function;
    node->paraCode = paraCode;
    int r = KeyInsert(name, len, keyType, node, FunctionDeleter, nullptr);
    if (r != InsertNew) qfree(node);
    return r;
}

}  // namespace quorel
