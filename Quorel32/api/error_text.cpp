// Short English texts for the compile results and the engine's run-time error types.
#include "Quorel32.h"

namespace {

// Indexed by compile result; the last entry is the highest result code.
const char *const kCompileTexts[] = {
    "no error",
    "out of memory",
    "brackets do not match or are not closed",
    "empty formula, or nothing after the header",
    "i and I are the imaginary unit and cannot be declared",
    "illegal escape in a string literal",
    "string literal not closed",
    "illegal character, or a token that cannot stand here",
    "a header starts with a name followed by (",
    "illegal token in the header",
    "more than two : in the header",
    ", in the header must stand between two names",
    "write continue as continue()",
    "continue() outside a loop",
    "write break as break()",
    "break() outside a loop",
    "if, while, until and which need at least two arguments",
    "malformed number",
    "& must stand before a whole argument that is a variable",
    "++ and -- apply once, to a variable",
    "empty brackets () only directly after a function name",
    "! out of place, or a sign directly before )",
    "= out of place: the target must be a variable at the start of an item",
    "two operands or two operators in a row",
    "unknown name: neither a declared variable nor a constant",
    "unknown function: neither a built-in, a formula nor a host function",
    "this built-in function takes exactly one argument",
    "wrong number of arguments for this host function",
    "static may stand only after the first :, common only after the second :",
    "a formula of this name already exists",
    "a sign cannot stand directly before a power; use brackets",
    "malformed dot call",
    "wrong number of arguments for this integer formula",
    "wrong number of arguments for this real formula",
    "wrong number of arguments for this complex formula",
    "a name declared twice in the header",
    "a run-time error is pending; read it with GetRunErr first",
};

// Indexed by run-time error type.
const char *const kRunTexts[] = {
    "no error",
    "an integer function or the integer evaluator failed",
    "a real function or the real evaluator failed",
    "a complex function or the complex evaluator failed",
    "the formula calls a formula that has been deleted; compile it again",
    "the formula calls a function that has been deleted; compile it again",
    "not a formula handle of this domain (NULL, or compiled for another domain)",
    "the evaluation was interrupted (InterruptQuorel)",
    "the evaluation used up its step limit (SetRunLimit)",
};

template <class T, int N>
constexpr int Count(T (&)[N]) {
    return N;
}

}  // namespace

extern "C" QUOREL_API const char *QUOREL_CALL QuorelErrorText(int code) {
    if (code == QUOREL_ERR_MODULE_LOCKED) return "the module is locked by another caller";
    if (code >= 0 && code < Count(kCompileTexts)) return kCompileTexts[code];
    int type = code - QUOREL_RUNERR_CODE(0);
    if (type >= 0 && type < Count(kRunTexts)) return kRunTexts[type];
    return nullptr;
}
