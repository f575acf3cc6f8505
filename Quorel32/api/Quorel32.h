/*
 * Quorel32 -- formula compiler and evaluator for integer, real and complex numbers.
 *
 * Public C interface. Every export has C linkage and is exported by its plain name;
 * hosts may link against the library or bind each export by name at run time.
 * The engine keeps process-wide state and takes no locks: call it from one thread
 * at a time. Callbacks (host functions, key deleters, lock functions, the free
 * callback, the enumeration callback) run on the calling thread inside an engine call.
 */
#ifndef QUOREL32_H
#define QUOREL32_H

#ifndef __cplusplus
#include <stdbool.h>
#endif

/* Calling convention of every export and callback: __stdcall on 32-bit Windows. */
#if defined(_WIN32) && !defined(_WIN64)
#define QUOREL_CALL __stdcall
#else
#define QUOREL_CALL
#endif

#if defined(_WIN32)
#if defined(QUOREL_BUILDING)
#define QUOREL_API __declspec(dllexport)
#elif defined(QUOREL_STATIC) /* linked with the engine's objects, not the DLL */
#define QUOREL_API
#else
#define QUOREL_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define QUOREL_API __attribute__((visibility("default")))
#else
#define QUOREL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A complex number: real part first. */
typedef struct {
    double re, im;
} QuorelComplex;

/* Passed as the last argument of every built-in and host function: the domain of the
 * calling formula (1 integer, 2 real, 3 complex) and its handle. */
typedef struct {
    signed char type;
    void *handle;
} CallerInfo;

typedef void(QUOREL_CALL *KeyDeleter)(void *value);
typedef void(QUOREL_CALL *LockFn)(void);

/* Host functions; m is the number of arguments minus one. */
typedef int(QUOREL_CALL *QuorelIntFunction)(int m, int *x, CallerInfo *caller);
typedef double(QUOREL_CALL *QuorelRealFunction)(int m, double *x, CallerInfo *caller);
typedef void(QUOREL_CALL *QuorelComplexFunction)(QuorelComplex *result, int m, QuorelComplex *x,
                                                 CallerInfo *caller);

/* Called when an invalidated formula that declares a `free` static variable is deleted. */
typedef void(QUOREL_CALL *QuorelFreeCallback)(int forType, void *slots, int count);

/* EnumKeyTypeValue callback: return true to go on, false to stop. */
typedef bool(QUOREL_CALL *QuorelEnumCallback)(char *key, int len, void *value);

/* Lifecycle */
QUOREL_API const char *QUOREL_CALL QuorelVer(void);
QUOREL_API bool QUOREL_CALL InitQuorel(void);
QUOREL_API void QUOREL_CALL FreeQuorel(void);

/* Run-time error slot */
QUOREL_API void QUOREL_CALL GetRunErr(int *errType, char **funName, int *funCode, int *forType,
                                      void **forHandle);
QUOREL_API int QUOREL_CALL TestRunErr(void);
QUOREL_API void QUOREL_CALL SetRunErr(int errType, char *funName, int funCode, int forType,
                                      void *forHandleOrCaller);

/* Compile and evaluate. On entry *hFor holds the caller's lock function or NULL. */
QUOREL_API int QUOREL_CALL IntCom(const char *text, int module, void **hFor, int *nPara, int **para,
                                  int *errBegin, int *errEnd);
QUOREL_API int QUOREL_CALL IntCal(void *hFor, int *para);
QUOREL_API int QUOREL_CALL RealCom(const char *text, int module, void **hFor, int *nPara,
                                   double **para, int *errBegin, int *errEnd);
QUOREL_API double QUOREL_CALL RealCal(void *hFor, double *para);
QUOREL_API int QUOREL_CALL ComplexCom(const char *text, int module, void **hFor, int *nPara,
                                      QuorelComplex **para, int *errBegin, int *errEnd);
QUOREL_API QuorelComplex *QUOREL_CALL ComplexCal(QuorelComplex *result, void *hFor,
                                                 QuorelComplex *para);

/* Modules, constants and host functions */
QUOREL_API bool QUOREL_CALL LockModule(int module, LockFn lock, bool doLock);
QUOREL_API int QUOREL_CALL SetFunction(int keyType, const char *name, void *function, int paraCode);
QUOREL_API int QUOREL_CALL SetConst(int keyType, const char *name, void *value);
QUOREL_API void QUOREL_CALL DeleteConstOrFunction(int keyType, const char *name);

/* Formula registry */
QUOREL_API bool QUOREL_CALL IsFor(const char *name, int forType, int module, void *hFor, void *para,
                                  int paraCode);
QUOREL_API bool QUOREL_CALL GetFor(const char *name, int forType, CallerInfo *caller, int *module,
                                   void **hFor, void **para, int *paraCode);
QUOREL_API bool QUOREL_CALL ParaModify(int forType, void *hFor);
QUOREL_API void QUOREL_CALL GetForStr(CallerInfo *caller, char **strings, int *length);
QUOREL_API void QUOREL_CALL DeleteFor(int forType, void *hFor);

/* Key tree: host key types are >= 256 (public) or <= -256 (private). */
QUOREL_API int QUOREL_CALL InsertKey(const char *key, int len, int keyType, void *value,
                                     KeyDeleter del, void **valueInOut);
QUOREL_API void *QUOREL_CALL SearchKey(const char *key, int len, int keyType);
QUOREL_API void QUOREL_CALL DeleteKey(const char *key, int len, int keyType);
QUOREL_API void QUOREL_CALL DeletePrivateKey(const char *key, int len, int keyType, KeyDeleter del);
QUOREL_API void QUOREL_CALL EnumKeyTypeValue(int keyType, char *buffer, int size,
                                             QuorelEnumCallback callback);
QUOREL_API int QUOREL_CALL LockKeyType(int keyType, KeyDeleter del, LockFn lock);

/* Host messages */
QUOREL_API void *QUOREL_CALL ExMsgWithQuorel(int message, void *arg1, void *arg2, void *arg3);

#ifdef __cplusplus
}
#endif

#endif /* QUOREL32_H */
