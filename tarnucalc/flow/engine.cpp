#include "engine.h"

namespace tarnu {

namespace {

// Compiles one text into the running engine; false (with the failure recorded) on error.
bool compileInto(Engine &engine, const std::string &text, int line, void **handle,
                 EngineResult &result) {
    int begin = 0, end = 0;
    int code = engine.compile(text, handle, &begin, &end);
    if (code == 0) return true;
    result.code = code;
    result.errBegin = begin;
    result.errEnd = end;
    result.failedLine = line;
    return false;
}

}  // namespace

EngineResult evaluateExpression(Engine &engine, const std::string &text) {
    EngineResult result;
    void *handle = nullptr;
    engine.init();
    if (compileInto(engine, text, 1, &handle, result)) {
        result.value = engine.calculate(handle);
        result.ok = true;
    }
    engine.release();
    return result;
}

EngineResult evaluateFormula(Engine &engine, const std::string &line1, const std::string &line2) {
    EngineResult result;
    void *definition = nullptr, *handle = nullptr;
    engine.init();
    if (compileInto(engine, line1, 1, &definition, result) &&
        compileInto(engine, line2, 2, &handle, result)) {
        result.value = engine.calculate(handle);
        result.ok = true;
    }
    engine.release();
    return result;
}

}  // namespace tarnu
