// The four engine procedures the calculator uses, behind an interface so that the
// controller can be driven by a stand-in engine in tests. QuorelLibrary (quorel_library.h)
// is the real one, bound at run time.
#ifndef TARNU_FLOW_ENGINE_H
#define TARNU_FLOW_ENGINE_H

#include <stdexcept>
#include <string>

namespace tarnu {

// A procedure of the engine library could not be bound. what() is the complete text of
// the run-time error box.
class BindingError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class Engine {
  public:
    virtual ~Engine() = default;
    // May throw BindingError (each procedure is bound at its first call).
    virtual void init() = 0;
    // RealCom with module 0 and a null handle on entry; returns the engine's result code
    // (0 = compiled) and, on failure, the byte offsets of the faulty text.
    virtual int compile(const std::string &text, void **handle, int *errBegin, int *errEnd) = 0;
    // RealCal with one argument 0.0.
    virtual double calculate(void *handle) = 0;
    virtual void release() = 0;
    // The engine's short English text for a compile result, or null: a library without
    // the text export still calculates.
    virtual const char *errorText(int code) {
        (void)code;
        return nullptr;
    }
    // Safe from any thread while another runs a cycle: asks the calculation in progress
    // to stop, so the cycle ends promptly with the value 0. False when this engine cannot
    // (an older library, or none loaded yet); the cycle then runs to its end.
    virtual bool interrupt() { return false; }
    // Whether interrupt() can stop a calculation (known once the library is loaded).
    virtual bool canInterrupt() const { return false; }
};

// The outcome of one engine cycle.
struct EngineResult {
    bool ok = false;
    int code = 0;                  // RealCom's result code of the failing compile
    int errBegin = 0, errEnd = 0;  // its offsets
    int failedLine = 0;            // formula cycles: 1 or 2, the line that failed
    double value = 0;
};

// InitQuorel, RealCom, RealCal on success, FreeQuorel: one expression.
EngineResult evaluateExpression(Engine &engine, const std::string &text);
// Both formula lines compiled in one engine; the second is evaluated.
EngineResult evaluateFormula(Engine &engine, const std::string &line1, const std::string &line2);

}  // namespace tarnu

#endif
