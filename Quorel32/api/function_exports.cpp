// Exports that register and remove host constants and functions.
#include "../include/Quorel32.h"
#include "../keys/keytree.h"
#include "../registry/functions.h"

using namespace quorel;

extern "C" {

QUOREL_API int QUOREL_CALL SetFunction(int keyType, const char *name, void *function,
                                       int paraCode) {
    return RegisterFunction(keyType, name, function, paraCode);
}

QUOREL_API int QUOREL_CALL SetConst(int keyType, const char *name, void *value) {
    if (keyType < KeyIntConst || keyType > KeyComplexConst) return QUOREL_SET_BAD_TYPE;
    return RegisterConst(keyType, name, KeyLen(name), value, HostConstDeleter);
}

QUOREL_API void QUOREL_CALL DeleteConstOrFunction(int keyType, const char *name) {
    if (keyType < KeyIntFun || keyType > KeyComplexConst) return;
    int len = KeyLen(name);
    if (len == 0) return;
    KeyEntry *e = KeySearch(name, len, keyType);
    if (!e) return;
    if (keyType >= KeyIntConst) {
        // Constants a formula made to stay are left alone.
        if (e->del != HostConstDeleter) return;
    } else if (HasRunningCaller(&static_cast<const FunctionNode *>(e->value)->referrers)) {
        // A running caller would call the freed function on its next use.
        return;
    }
    KeyRemove(name, len, keyType);
}

}  // extern "C"
