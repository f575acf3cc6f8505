/*
 * A small host of the Quorel32 engine, in plain C.
 *
 * It registers a constant and a host function, compiles a formula with two
 * parameters, evaluates it over a range, and shows how a host function reports a
 * run-time error that the host then reads from the error slot.
 *
 * Build: cc embed.c $(pkg-config --cflags --libs quorel32) -o embed
 */
#include <stdio.h>
#include <string.h>

#include "Quorel32.h"

/* A host function of the real domain: clamp(x, lo, hi). m is the argument count - 1. */
static double QUOREL_CALL Clamp(int m, double *x, CallerInfo *caller) {
    (void)m;
    if (x[1] > x[2]) {
        /* Errors never travel through results: record one and return a value. */
        SetRunErr(100, "clamp", 1, 0, caller);
        return 0;
    }
    return x[0] < x[1] ? x[1] : x[0] > x[2] ? x[2] : x[0];
}

static int Fail(const char *what, int code, const char *text, int begin, int end) {
    /* Compile results have texts; SetConst and SetFunction codes are in the header. */
    const char *why = text ? QuorelErrorText(code) : NULL;
    fprintf(stderr, "%s failed with code %d", what, code);
    if (why) fprintf(stderr, ": %s", why);
    if (text) fprintf(stderr, " at \"%.*s\"", end - begin + 1, text + begin);
    fputc('\n', stderr);
    FreeQuorel();
    return 1;
}

int main(void) {
    if (!InitQuorel()) return Fail("InitQuorel", 0, NULL, 0, 0);
    printf("%s\n", QuorelVer());

    double tau = 6.283185307179586;
    int rc = SetConst(QUOREL_KEY_REAL_CONST, "tau", &tau);
    if (rc != QUOREL_SET_DONE) return Fail("SetConst", rc, NULL, 0, 0);
    rc = SetFunction(QUOREL_KEY_REAL_FUN, "clamp", (void *)Clamp, QUOREL_ARGS(3));
    if (rc != QUOREL_SET_DONE) return Fail("SetFunction", rc, NULL, 0, 0);

    /* A named formula with two parameters; the compile returns its parameter area. */
    const char *text = "wave(t, a) = clamp(a * sin(tau * t), -0.5, 0.5)";
    void *wave = NULL; /* on entry: no module lock function */
    int nPara, errBegin, errEnd;
    double *para;
    rc = RealCom(text, 1, &wave, &nPara, &para, &errBegin, &errEnd);
    if (rc != QUOREL_OK) return Fail("RealCom", rc, text, errBegin, errEnd);

    printf("wave has %d parameters\n", nPara + 1);
    for (int i = 0; i <= 8; ++i) {
        para[0] = i / 8.0; /* t */
        para[1] = 2.0;     /* a */
        printf("wave(%.3f, 2) = % .6f\n", para[0], RealCal(wave, para));
    }

    /* A formula that calls the host function wrongly: the error lands in the slot. */
    void *bad = NULL;
    double *badPara;
    rc = RealCom("clamp(1, 2, 0) + 1", 1, &bad, &nPara, &badPara, &errBegin, &errEnd);
    if (rc != QUOREL_OK) return Fail("RealCom", rc, NULL, 0, 0);
    double v = RealCal(bad, badPara);
    int errType, funCode, forType;
    char *funName;
    void *forHandle;
    if (TestRunErr() != QUOREL_RUNERR_NONE) {
        GetRunErr(&errType, &funName, &funCode, &forType, &forHandle);
        printf("value %g; run-time error %d from %s (code %d) in a formula of type %d\n", v,
               errType, funName ? funName : "?", funCode, forType);
    }

    FreeQuorel();
    return 0;
}
