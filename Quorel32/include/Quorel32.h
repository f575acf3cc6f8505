/*
 * Quorel32 -- formula compiler and evaluator for integer, real and complex numbers.
 *
 * Public C interface. Every export has C linkage and is exported by its plain name;
 * hosts may link against the library or bind each export by name at run time.
 * The engine keeps process-wide state and takes no locks: call it from one thread
 * at a time, with one exception: RealCal, IntCal, ComplexCal and RealCalBatch on
 * plain formulas (see RealCalBatch) may run on several threads at once. Callbacks (host functions,
 * key deleters, lock functions, the free callback, the enumeration callback) run on the calling
 * thread inside an engine call.
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

/* Number domains; also the formula types of CallerInfo, the run-time error slot and
 * the registry queries. */
enum QuorelFormulaType { QUOREL_INT = 1, QUOREL_REAL = 2, QUOREL_COMPLEX = 3 };

/* Key types. The engine's own lie in -255..255; those a host may pass to SetFunction,
 * SetConst and DeleteConstOrFunction are listed here. Host keys use QUOREL_KEY_HOST
 * and above (public) or QUOREL_KEY_PRIVATE and below (private). */
enum QuorelKeyType {
    QUOREL_KEY_INT_FOR = 1,
    QUOREL_KEY_REAL_FOR = 2,
    QUOREL_KEY_COMPLEX_FOR = 3,
    QUOREL_KEY_INT_FUN = 4,
    QUOREL_KEY_REAL_FUN = 5,
    QUOREL_KEY_COMPLEX_FUN = 6,
    QUOREL_KEY_INT_CONST = 7,
    QUOREL_KEY_REAL_CONST = 8,
    QUOREL_KEY_COMPLEX_CONST = 9,
    QUOREL_KEY_HOST = 256,
    QUOREL_KEY_PRIVATE = -256
};

/* Parameter count codes (SetFunction, the nPara output of the compile exports): the
 * number of parameters minus one. Write QUOREL_ARGS(n) for exactly n arguments. */
enum QuorelParaCode { QUOREL_ANY_ARGS = -2, QUOREL_NO_ARGS = -1 };
#define QUOREL_ARGS(n) ((n)-1)

/* Results of IntCom, RealCom and ComplexCom. On an error the two offsets name the first
 * and last character of the faulty text (both 0 where noted). */
enum QuorelCompileResult {
    QUOREL_ERR_MODULE_LOCKED = -2, /* module locked with another lock function; offsets 0 */
    QUOREL_OK = 0,
    QUOREL_ERR_NO_MEMORY = 1,
    QUOREL_ERR_BRACKETS = 2,              /* brackets do not match or are not closed */
    QUOREL_ERR_EMPTY = 3,                 /* empty text, or nothing after the header */
    QUOREL_ERR_I_DECLARED = 4,            /* complex: i or I declared as a variable */
    QUOREL_ERR_BAD_ESCAPE = 5,            /* illegal escape in a string literal */
    QUOREL_ERR_OPEN_STRING = 6,           /* string literal not closed */
    QUOREL_ERR_BAD_TOKEN = 7,             /* illegal character, or a token out of place */
    QUOREL_ERR_HEADER_NAME = 8,           /* header not a name followed by ( */
    QUOREL_ERR_HEADER_TOKEN = 9,          /* illegal token inside the header brackets */
    QUOREL_ERR_HEADER_SECTIONS = 10,      /* more than two : in the header */
    QUOREL_ERR_HEADER_COMMA = 11,         /* , in the header not between two names */
    QUOREL_ERR_CONTINUE_FORM = 12,        /* continue not written continue() */
    QUOREL_ERR_CONTINUE_OUTSIDE = 13,     /* continue() outside a loop */
    QUOREL_ERR_BREAK_FORM = 14,           /* break not written break() */
    QUOREL_ERR_BREAK_OUTSIDE = 15,        /* break() outside a loop */
    QUOREL_ERR_FORM_ARGS = 16,            /* if/while/until/which with fewer than two arguments */
    QUOREL_ERR_NUMBER = 17,               /* malformed number */
    QUOREL_ERR_REFERENCE = 18,            /* & not before a whole argument that is a variable */
    QUOREL_ERR_INCREMENT = 19,            /* ++ or -- not on a variable, or twice */
    QUOREL_ERR_EMPTY_BRACKETS = 20,       /* () not directly after a function name */
    QUOREL_ERR_MISPLACED_SIGN = 21,       /* ! out of place, or + or - before ) */
    QUOREL_ERR_ASSIGNMENT = 22,           /* = out of place */
    QUOREL_ERR_SEQUENCE = 23,             /* two operands or two operators in a row */
    QUOREL_ERR_UNKNOWN_NAME = 24,         /* neither a declared variable nor a constant */
    QUOREL_ERR_UNKNOWN_FUNCTION = 25,     /* not a built-in, formula or host function */
    QUOREL_ERR_INTRINSIC_ARGS = 26,       /* built-in function needs exactly one argument */
    QUOREL_ERR_FUNCTION_ARGS = 27,        /* host function: wrong number of arguments */
    QUOREL_ERR_SECTION_KEYWORD = 28,      /* static outside section 1, common outside 2 */
    QUOREL_ERR_NAME_CLASH = 29,           /* a formula of this name exists (module rules) */
    QUOREL_ERR_NEGATED_POWER = 30,        /* unary minus directly before a power */
    QUOREL_ERR_DOT_CALL = 31,             /* malformed dot call */
    QUOREL_ERR_INT_FORMULA_ARGS = 32,     /* integer formula: wrong number of arguments */
    QUOREL_ERR_REAL_FORMULA_ARGS = 33,    /* real formula: wrong number of arguments */
    QUOREL_ERR_COMPLEX_FORMULA_ARGS = 34, /* complex formula: wrong number of arguments */
    QUOREL_ERR_DUPLICATE_NAME = 35,       /* a name declared twice in the header */
    QUOREL_ERR_RUN_ERROR_PENDING = 36     /* read the run-time error slot first; offsets 0 */
};

/* Error types the engine records in the run-time error slot. Hosts may record their
 * own types through SetRunErr. */
enum QuorelRunErrType {
    QUOREL_RUNERR_NONE = 0,
    QUOREL_RUNERR_INT = 1,              /* an integer built-in or the integer evaluator */
    QUOREL_RUNERR_REAL = 2,             /* a real built-in or the real evaluator */
    QUOREL_RUNERR_COMPLEX = 3,          /* a complex built-in or the complex evaluator */
    QUOREL_RUNERR_FORMULA_DELETED = 4,  /* the formula calls a formula deleted since */
    QUOREL_RUNERR_FUNCTION_DELETED = 5, /* the formula calls a host function deleted since */
    QUOREL_RUNERR_BAD_HANDLE = 6,       /* an evaluator got NULL or another domain's handle */
    QUOREL_RUNERR_INTERRUPTED = 7,      /* InterruptQuorel stopped the evaluation */
    QUOREL_RUNERR_STEP_LIMIT = 8        /* the evaluation used up its SetRunLimit steps */
};
/* QuorelErrorText's code for a run-time error type, apart from the compile results. */
#define QUOREL_RUNERR_CODE(type) (1000 + (type))

/* Results of InsertKey. */
enum QuorelInsertResult {
    QUOREL_KEY_INSERTED = 0,
    QUOREL_KEY_EXISTS = 1,   /* the existing value comes back through the in/out pointer */
    QUOREL_KEY_REPLACED = 2, /* the old value went to its delete function */
    QUOREL_KEY_RESERVED_TYPE = 3,
    QUOREL_KEY_TYPE_LOCKED = 4,
    QUOREL_KEY_NO_MEMORY = 5,
    QUOREL_KEY_BAD_LENGTH = 6
};

/* Results of SetFunction and SetConst. */
enum QuorelSetResult {
    QUOREL_SET_DONE = 0,
    QUOREL_SET_EXISTS = 1, /* the existing one stays; delete it first to replace it */
    QUOREL_SET_NO_MEMORY = 2,
    QUOREL_SET_EMPTY_NAME = 3,
    QUOREL_SET_BAD_TYPE = 4
};

/* Results of LockKeyType. */
enum QuorelLockResult { QUOREL_LOCK_DONE = 0, QUOREL_LOCK_REFUSED = 1, QUOREL_LOCK_NO_MEMORY = 2 };

/* Messages of ExMsgWithQuorel. */
enum QuorelMessage {
    QUOREL_MSG_CALLER_NAME = 1,    /* (CallerInfo*, int *type out, void **handle out) */
    QUOREL_MSG_FORMULA_NAME = 2,   /* (handle, const int *type, -) */
    QUOREL_MSG_CALLER_MODULE = 3,  /* as 1: the module number */
    QUOREL_MSG_FORMULA_MODULE = 4, /* as 2: the module number */
    QUOREL_MSG_SET_FREE_CALLBACK = 5,
    QUOREL_MSG_CLEAR_FREE_CALLBACK = 6,
    QUOREL_MSG_INT_CONST = 7, /* (name, -, -): address of the stored value or NULL */
    QUOREL_MSG_REAL_CONST = 8,
    QUOREL_MSG_COMPLEX_CONST = 9
};

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

/* Compile and evaluate. On entry *hFor holds the caller's lock function or NULL; a live
 * formula handle there (a variable that held the previous formula) counts as NULL.
 * An evaluator given NULL or a handle of another domain records
 * QUOREL_RUNERR_BAD_HANDLE and returns 0; with a NULL parameter array it uses the
 * formula's own parameter slots (the area the compile returned). */
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

/* Evaluates real formula hFor at n points. columns[i] points to n values of parameter i,
 * or is NULL: parameter i keeps the value in the formula's own slot for every point.
 * results[k] receives the value at point k, identical to the bit to what RealCal gives
 * for that point. Returns 0; nonzero without touching results when hFor is not a usable
 * real formula or n < 0 (or results is NULL with n > 0, or memory runs out).
 *
 * A plain formula -- parameters, constants, own and common variables read but not
 * assigned, operators, the intrinsics (sqrt ... int) and which, but no calls of
 * formulas or functions, no loops, if or assignments -- runs block by block; any
 * other formula runs point by point, as RealCal in a loop would, in point order.
 * The same parameter values reach every point: a formula that assigns to a parameter
 * does not pass the change on to the next point. results may be one of the columns:
 * each point still reads its own parameters before its value is stored.
 *
 * Threads: RealCal, IntCal, ComplexCal and RealCalBatch on plain formulas may run on
 * several threads at once, on the same formula or different ones, each thread with
 * its own parameter array (or columns) and results, provided nothing is compiled,
 * deleted or re-initialised and no variable a formula reads is assigned meanwhile.
 * A which where no condition holds records its error in the one run-time error slot:
 * the first report wins whole; read the slot once the threads have finished. Formulas
 * that are not plain must not run on two threads at once. */
QUOREL_API int QUOREL_CALL RealCalBatch(void *hFor, int n, const double *const *columns,
                                        double *results);

/* Stopping a runaway evaluation. Steps are counted where work repeats: each loop
 * iteration, each call of a formula, each point of sum, pro, DataSum and DataPro, each
 * refinement of SimpIntegrate; a formula without loops or calls has no checks and pays
 * nothing. A stopped evaluation unwinds every activation (all domains, nested calls,
 * built-ins in progress, host functions' calls back into the engine) without running
 * anything further; the outermost RealCal, IntCal or ComplexCal returns 0 (0+0i), a
 * batch gives 0 for the stopped and the remaining points, and the run-time error slot
 * holds QUOREL_RUNERR_INTERRUPTED or QUOREL_RUNERR_STEP_LIMIT with the formula that was
 * running (replacing an error recorded earlier in that evaluation). Statics, module
 * variables and the recursion stacks stay usable.
 *
 * InterruptQuorel stops the evaluation under way at its next check. It only sets an
 * atomic flag, so it may be called from any thread or from a signal handler. With
 * nothing running it does nothing; the request ends with the evaluation it named.
 *
 * SetRunLimit gives each outermost evaluation (each point of a batch) at most `steps`
 * steps; 0, the default, or a negative number means no limit. The limit stays through
 * InitQuorel and FreeQuorel. */
QUOREL_API void QUOREL_CALL InterruptQuorel(void);
QUOREL_API void QUOREL_CALL SetRunLimit(long long steps);

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

/* A short English text for a compile result (QuorelCompileResult) or, given
 * QUOREL_RUNERR_CODE(type), for a run-time error type the engine records; NULL for any
 * other code. The text is constant and lives as long as the library. */
QUOREL_API const char *QUOREL_CALL QuorelErrorText(int code);

#ifdef __cplusplus
}
#endif

#endif /* QUOREL32_H */
