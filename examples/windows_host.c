/*
 * A Windows host that knows the engine only by its interface: it loads "Quorel32.dll"
 * by name, binds every export by its plain name with GetProcAddress and drives each one,
 * with its callbacks in the platform's convention (stdcall on 32-bit x86). A call made
 * through the wrong convention leaves the stack pointer off by the arguments' size, so
 * the calls run in loops where such a drift would crash or garble the results.
 *
 * Usage: windows_host [Quorel32.def]   (with the file: check that each export it lists binds)
 * Prints "all exports passed" and exits with 0 when everything held.
 */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "Quorel32.h"

#define LOOPS 20000

/* The function pointer types, spelled out as a host that has no header would. */
typedef const char *(QUOREL_CALL *QuorelVerFn)(void);
typedef bool(QUOREL_CALL *InitQuorelFn)(void);
typedef void(QUOREL_CALL *FreeQuorelFn)(void);
typedef void(QUOREL_CALL *GetRunErrFn)(int *, char **, int *, int *, void **);
typedef int(QUOREL_CALL *TestRunErrFn)(void);
typedef void(QUOREL_CALL *SetRunErrFn)(int, char *, int, int, void *);
typedef int(QUOREL_CALL *IntComFn)(const char *, int, void **, int *, int **, int *, int *);
typedef int(QUOREL_CALL *IntCalFn)(void *, int *);
typedef int(QUOREL_CALL *RealComFn)(const char *, int, void **, int *, double **, int *, int *);
typedef double(QUOREL_CALL *RealCalFn)(void *, double *);
typedef int(QUOREL_CALL *ComplexComFn)(const char *, int, void **, int *, QuorelComplex **, int *,
                                       int *);
typedef QuorelComplex *(QUOREL_CALL *ComplexCalFn)(QuorelComplex *, void *, QuorelComplex *);
typedef int(QUOREL_CALL *RealCalBatchFn)(void *, int, const double *const *, double *);
typedef const char *(QUOREL_CALL *QuorelErrorTextFn)(int);
typedef bool(QUOREL_CALL *LockModuleFn)(int, LockFn, bool);
typedef int(QUOREL_CALL *SetFunctionFn)(int, const char *, void *, int);
typedef int(QUOREL_CALL *SetConstFn)(int, const char *, void *);
typedef void(QUOREL_CALL *DeleteConstOrFunctionFn)(int, const char *);
typedef bool(QUOREL_CALL *IsForFn)(const char *, int, int, void *, void *, int);
typedef bool(QUOREL_CALL *GetForFn)(const char *, int, CallerInfo *, int *, void **, void **,
                                    int *);
typedef bool(QUOREL_CALL *ParaModifyFn)(int, void *);
typedef void(QUOREL_CALL *GetForStrFn)(CallerInfo *, char **, int *);
typedef void(QUOREL_CALL *DeleteForFn)(int, void *);
typedef int(QUOREL_CALL *InsertKeyFn)(const char *, int, int, void *, KeyDeleter, void **);
typedef void *(QUOREL_CALL *SearchKeyFn)(const char *, int, int);
typedef void(QUOREL_CALL *DeleteKeyFn)(const char *, int, int);
typedef void(QUOREL_CALL *DeletePrivateKeyFn)(const char *, int, int, KeyDeleter);
typedef void(QUOREL_CALL *EnumKeyTypeValueFn)(int, char *, int, QuorelEnumCallback);
typedef int(QUOREL_CALL *LockKeyTypeFn)(int, KeyDeleter, LockFn);
typedef void *(QUOREL_CALL *ExMsgWithQuorelFn)(int, void *, void *, void *);

static struct {
    QuorelVerFn QuorelVer;
    InitQuorelFn InitQuorel;
    FreeQuorelFn FreeQuorel;
    GetRunErrFn GetRunErr;
    TestRunErrFn TestRunErr;
    SetRunErrFn SetRunErr;
    IntComFn IntCom;
    IntCalFn IntCal;
    RealComFn RealCom;
    RealCalFn RealCal;
    ComplexComFn ComplexCom;
    ComplexCalFn ComplexCal;
    RealCalBatchFn RealCalBatch;
    QuorelErrorTextFn QuorelErrorText;
    LockModuleFn LockModule;
    SetFunctionFn SetFunction;
    SetConstFn SetConst;
    DeleteConstOrFunctionFn DeleteConstOrFunction;
    IsForFn IsFor;
    GetForFn GetFor;
    ParaModifyFn ParaModify;
    GetForStrFn GetForStr;
    DeleteForFn DeleteFor;
    InsertKeyFn InsertKey;
    SearchKeyFn SearchKey;
    DeleteKeyFn DeleteKey;
    DeletePrivateKeyFn DeletePrivateKey;
    EnumKeyTypeValueFn EnumKeyTypeValue;
    LockKeyTypeFn LockKeyType;
    ExMsgWithQuorelFn ExMsgWithQuorel;
} q;

static HMODULE lib;
static int failures;

#define CHECK(cond)                                                    \
    do {                                                               \
        if (!(cond)) {                                                 \
            fprintf(stderr, "line %d: failed: %s\n", __LINE__, #cond); \
            ++failures;                                                \
        }                                                              \
    } while (0)

static FARPROC Bind(const char *name) {
    FARPROC p = GetProcAddress(lib, name);
    if (!p) {
        fprintf(stderr, "export %s not found\n", name);
        ++failures;
    }
    return p;
}

#define BIND(name) q.name = (name##Fn)(void *)Bind(#name)

static void BindAll(void) {
    BIND(QuorelVer);
    BIND(InitQuorel);
    BIND(FreeQuorel);
    BIND(GetRunErr);
    BIND(TestRunErr);
    BIND(SetRunErr);
    BIND(IntCom);
    BIND(IntCal);
    BIND(RealCom);
    BIND(RealCal);
    BIND(ComplexCom);
    BIND(ComplexCal);
    BIND(RealCalBatch);
    BIND(QuorelErrorText);
    BIND(LockModule);
    BIND(SetFunction);
    BIND(SetConst);
    BIND(DeleteConstOrFunction);
    BIND(IsFor);
    BIND(GetFor);
    BIND(ParaModify);
    BIND(GetForStr);
    BIND(DeleteFor);
    BIND(InsertKey);
    BIND(SearchKey);
    BIND(DeleteKey);
    BIND(DeletePrivateKey);
    BIND(EnumKeyTypeValue);
    BIND(LockKeyType);
    BIND(ExMsgWithQuorel);
}

/* Every name the module-definition file lists binds by its plain name (without "@N"). */
static void CheckDefFile(const char *path) {
    FILE *f = fopen(path, "r");
    if (!f) {
        fprintf(stderr, "cannot read %s\n", path);
        ++failures;
        return;
    }
    char line[256];
    int exports = 0, listing = 0;
    while (fgets(line, sizeof line, f)) {
        char name[256];
        if (sscanf(line, " %255[A-Za-z0-9_]", name) != 1) continue;
        if (strcmp(name, "EXPORTS") == 0) {
            listing = 1;
            continue;
        }
        if (!listing) continue;
        Bind(name);
        ++exports;
    }
    fclose(f);
    CHECK(exports >= 28);
    printf("%d exports of the .def file bind by plain name\n", exports);
}

/* --- callbacks, all in the engine's convention --- */

static int twiceCalls, lockCalls, deleted, enumerated, freed;
static char callerName[32];

static double QUOREL_CALL Twice(int m, double *x, CallerInfo *caller) {
    ++twiceCalls;
    if (twiceCalls == 1) {
        char *strings = NULL;
        int length = 0;
        q.GetForStr(caller, &strings, &length);
        if (strings && length >= 3) snprintf(callerName, sizeof callerName, "%s", strings + 2);
    }
    return m == 0 ? 2 * x[0] : -1;
}

static double QUOREL_CALL Fail(int m, double *x, CallerInfo *caller) {
    (void)m;
    (void)x;
    q.SetRunErr(100, "fail", 7, 0, caller);
    return 0;
}

static int QUOREL_CALL Triple(int m, int *x, CallerInfo *caller) {
    (void)caller;
    return m == 0 ? 3 * x[0] : -1;
}

static void QUOREL_CALL Conj(QuorelComplex *r, int m, QuorelComplex *x, CallerInfo *caller) {
    (void)m;
    (void)caller;
    r->re = x[0].re;
    r->im = -x[0].im;
}

static void QUOREL_CALL Lock(void) {
    ++lockCalls;
}

static int otherLockCalls; /* a body of its own, so the two are never folded into one */
static void QUOREL_CALL OtherLock(void) {
    ++otherLockCalls;
}

static void QUOREL_CALL Deleter(void *value) {
    (void)value;
    ++deleted;
}

static bool QUOREL_CALL Enumerate(char *key, int len, void *value) {
    (void)key;
    (void)value;
    ++enumerated;
    return len > 0;
}

static void QUOREL_CALL FreeStatics(int type, void *slots, int count) {
    (void)slots;
    (void)count;
    if (type == 2) ++freed;
}

/* --- the exports, family by family --- */

static void RealFormulas(void) {
    double k = 3;
    CHECK(q.SetConst(8, "k", &k) == 0);
    CHECK(q.SetFunction(5, "twice", (void *)Twice, 0) == 0);
    void *f = NULL;
    int n = -9, b, e;
    double *para = NULL;
    CHECK(q.RealCom("f(x, y) = twice(x) + y * k", 1, &f, &n, &para, &b, &e) == 0);
    CHECK(n == 1 && para != NULL);
    if (!f) return;
    double sum = 0;
    for (int i = 0; i < LOOPS; ++i) {
        para[0] = i;
        para[1] = 1;
        sum += q.RealCal(f, para) - (2.0 * i + 3);
    }
    CHECK(sum == 0 && twiceCalls == LOOPS);
    CHECK(strcmp(callerName, "f") == 0);

    static double xs[1000], ys[1000], out[1000];
    const double *columns[2] = {xs, ys};
    for (int i = 0; i < 1000; ++i) xs[i] = i, ys[i] = -i;
    CHECK(q.RealCalBatch(f, 1000, columns, out) == 0);
    CHECK(out[0] == 0 && out[999] == 2 * 999 - 3 * 999);
    CHECK(q.QuorelErrorText(0) != NULL && q.QuorelErrorText(-12345) == NULL);

    CHECK(q.IsFor("f", 2, 1, f, para, 1));
    CallerInfo caller = {2, f};
    int module = 0, code = 0;
    void *h = NULL, *area = NULL;
    CHECK(q.GetFor("f", 2, &caller, &module, &h, &area, &code));
    CHECK(h == f && area == para && module == 1 && code == 1);
    CHECK(!q.ParaModify(2, f));
    int type = 2;
    const char *name = (const char *)q.ExMsgWithQuorel(2, f, &type, NULL);
    CHECK(name && strcmp(name, "f") == 0);
    CHECK(q.ExMsgWithQuorel(8, (void *)"k", NULL, NULL) != NULL);

    q.DeleteConstOrFunction(5, "twice");
    void *g = NULL;
    CHECK(q.RealCom("twice(1)", 1, &g, &n, &para, &b, &e) != 0);
    q.DeleteFor(2, f);
    CHECK(!q.IsFor("f", 2, 1, f, NULL, 1));
}

static void IntAndComplexFormulas(void) {
    CHECK(q.SetFunction(4, "triple", (void *)Triple, 0) == 0);
    void *f = NULL;
    int n, b, e, *ipara = NULL;
    CHECK(q.IntCom("g(a) = triple(a) - 1", 1, &f, &n, &ipara, &b, &e) == 0);
    long long bad = 0;
    for (int i = 0; f && i < LOOPS; ++i) {
        ipara[0] = i;
        bad += q.IntCal(f, ipara) != 3 * i - 1;
    }
    CHECK(f && bad == 0);

    CHECK(q.SetFunction(6, "conj", (void *)Conj, 0) == 0);
    void *c = NULL;
    QuorelComplex *cpara = NULL;
    CHECK(q.ComplexCom("c(z) = z * conj(z)", 1, &c, &n, &cpara, &b, &e) == 0);
    bad = 0;
    for (int i = 0; c && i < LOOPS; ++i) {
        QuorelComplex r = {-1, -1};
        cpara[0].re = i % 7;
        cpara[0].im = 2;
        QuorelComplex *back = q.ComplexCal(&r, c, cpara);
        bad += back != &r || r.re != (i % 7) * (i % 7) + 4 || r.im != 0;
    }
    CHECK(c && bad == 0);
}

static void RunErrors(void) {
    CHECK(q.SetFunction(5, "fail", (void *)Fail, -1) == 0);
    void *f = NULL;
    int n, b, e;
    double *para;
    CHECK(q.RealCom("fail() + 1", 1, &f, &n, &para, &b, &e) == 0);
    for (int i = 0; f && i < LOOPS / 10; ++i) {
        CHECK(q.RealCal(f, para) == 1);
        CHECK(q.TestRunErr() == 100);
        int type = 0, code = 0, forType = 0;
        char *fun = NULL;
        void *h = NULL;
        q.GetRunErr(&type, &fun, &code, &forType, &h);
        if (type != 100 || !fun || strcmp(fun, "fail") != 0 || code != 7 || forType != 2 ||
            h != f) {
            CHECK(!"the error slot holds the host function's report");
            break;
        }
        CHECK(q.TestRunErr() == 0);
    }
}

static void KeysAndLocks(void) {
    static int value = 42;
    deleted = 0;
    for (int i = 0; i < LOOPS / 10; ++i) {
        CHECK(q.InsertKey("alpha", 5, 300, &value, Deleter, NULL) == 0);
        CHECK(q.SearchKey("alpha", 5, 300) == &value);
        q.DeleteKey("alpha", 5, 300);
    }
    CHECK(deleted == LOOPS / 10);
    CHECK(q.SearchKey("alpha", 5, 300) == NULL);

    CHECK(q.InsertKey("b1", 2, 300, &value, Deleter, NULL) == 0);
    CHECK(q.InsertKey("b2", 2, 300, &value, Deleter, NULL) == 0);
    char buffer[16];
    q.EnumKeyTypeValue(300, buffer, sizeof buffer, Enumerate);
    CHECK(enumerated == 2);

    CHECK(q.InsertKey("p", 1, -300, &value, Deleter, NULL) == 0);
    q.DeletePrivateKey("p", 1, -300, Deleter);
    CHECK(q.SearchKey("p", 1, -300) == NULL);

    CHECK(q.LockKeyType(301, Deleter, Lock) == 0);
    CHECK(q.LockKeyType(301, NULL, Lock) == 0);

    /* A locked module takes formulas from its lock function's holder only. */
    CHECK(q.LockModule(5, Lock, true));
    void *f = (void *)OtherLock;
    int n, b, e;
    double *para;
    CHECK(q.RealCom("m5(x) = x", 5, &f, &n, &para, &b, &e) != 0);
    f = (void *)Lock;
    CHECK(q.RealCom("m5(x) = x", 5, &f, &n, &para, &b, &e) == 0);
    CHECK(!q.LockModule(5, Lock, false)); /* not while the module has formulas */
}

static void FreeCallback(void) {
    void *callee = NULL, *f = NULL;
    int n, b, e;
    double *para;
    CHECK(q.RealCom("gg(x) = x", 1, &callee, &n, &para, &b, &e) == 0);
    CHECK(q.RealCom("ff(x : static, a, free) = gg(x)", 1, &f, &n, &para, &b, &e) == 0);
    q.ExMsgWithQuorel(5, (void *)FreeStatics, NULL, NULL);
    q.DeleteFor(2, callee); /* ff can no longer run: its statics go to the callback */
    q.DeleteFor(2, f);
    q.ExMsgWithQuorel(6, NULL, NULL, NULL);
    CHECK(freed == 1);
}

int main(int argc, char **argv) {
    lib = LoadLibraryA("Quorel32.dll");
    if (!lib) {
        fprintf(stderr, "Quorel32.dll not loaded (error %lu)\n", GetLastError());
        return 1;
    }
    BindAll();
    if (argc > 1) CheckDefFile(argv[1]);
    if (failures) return 1;

    const char *ver = q.QuorelVer();
    CHECK(strstr(ver, "8.0") != NULL);
    printf("%s\n", ver);
    for (int cycle = 0; cycle < 3; ++cycle) {
        twiceCalls = 0;
        enumerated = 0;
        freed = 0;
        CHECK(q.InitQuorel());
        RealFormulas();
        IntAndComplexFormulas();
        RunErrors();
        KeysAndLocks();
        FreeCallback();
        deleted = 0;
        q.FreeQuorel();
        CHECK(deleted == 2); /* b1 and b2 */
    }
    CHECK(lockCalls > 0);
    CHECK(q.QuorelVer() == ver);
    FreeLibrary(lib);
    if (failures) {
        fprintf(stderr, "%d checks failed\n", failures);
        return 1;
    }
    puts("all exports passed");
    return 0;
}
