/* A host that evaluates formulas typed by its users and protects itself from runaway
 * ones: a step limit for every evaluation, and a watchdog thread that interrupts an
 * evaluation taking longer than it may. */
#include <stdio.h>

#include "Quorel32.h"

#ifdef _WIN32
#include <windows.h>
typedef HANDLE Thread;
static DWORD WINAPI Watchdog(LPVOID unused) {
    (void)unused;
    Sleep(100);
    InterruptQuorel(); /* safe from any thread; does nothing if the evaluation ended */
    return 0;
}
static Thread StartWatchdog(void) {
    return CreateThread(NULL, 0, Watchdog, NULL, 0, NULL);
}
static void JoinWatchdog(Thread t) {
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
}
#else
#include <pthread.h>
#include <time.h>
typedef pthread_t Thread;
static void *Watchdog(void *unused) {
    struct timespec wait = {0, 100 * 1000000L};
    (void)unused;
    nanosleep(&wait, NULL);
    InterruptQuorel(); /* safe from any thread; does nothing if the evaluation ended */
    return NULL;
}
static Thread StartWatchdog(void) {
    pthread_t t;
    pthread_create(&t, NULL, Watchdog, NULL);
    return t;
}
static void JoinWatchdog(Thread t) {
    pthread_join(t, NULL);
}
#endif

static void Run(const char *text) {
    void *h = NULL;
    int nPara, errBegin, errEnd;
    double *para;
    if (RealCom(text, 1, &h, &nPara, &para, &errBegin, &errEnd) != QUOREL_OK) return;
    Thread watchdog = StartWatchdog();
    double v = RealCal(h, para);
    JoinWatchdog(watchdog);
    int type, code, forType;
    char *name;
    void *handle;
    GetRunErr(&type, &name, &code, &forType, &handle);
    if (type == QUOREL_RUNERR_NONE)
        printf("%s = %g\n", text, v);
    else
        printf("%s: %s\n", text, QuorelErrorText(QUOREL_RUNERR_CODE(type)));
}

int main(void) {
    if (!InitQuorel()) return 1;
    SetRunLimit(100000000); /* steps: loop iterations, formula calls, points of sum */
    Run("(: s, i) = s = 0, i = 1, while(i <= 1000, s = s + i, i++), s");
    Run("while(1, 1)"); /* the watchdog stops it */
    SetRunLimit(1000);
    Run("(: i) = i = 0, while(1, i++)"); /* the limit stops it */
    FreeQuorel();
    return 0;
}
