// Quorel32 for C++: a thin layer over the C exports of Quorel32.h (C++20).
//
//   Quorel::Engine engine;                         // InitQuorel ... FreeQuorel
//   engine.constant("tau", 6.283185307179586);     // copied into formulas compiled later
//   engine.function<double>("clamp", 3, [](std::span<double> x) { ... });
//   Quorel::RealFormula wave("wave(t, a) = clamp(a * sin(tau * t), -0.5, 0.5)");
//   double v = wave({0.25, 2.0});
//   if (auto err = engine.runError()) std::puts(err->text());
//
// A refused text throws Quorel::CompileError, whose what() names the fault and marks
// it with a caret line under the text. Formulas delete themselves; the engine is
// process-wide, so only one Engine object lives at a time.
#pragma once

#include <complex>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "Quorel32.h"

namespace Quorel {

// A failed call of the engine: its result code and the engine's text for it.
class Error : public std::runtime_error {
  public:
    Error(int code, const std::string &message) : std::runtime_error(message), code_(code) {}
    int code() const noexcept { return code_; }

  private:
    int code_;
};

// A refused formula text. begin() and end() are the offsets of the first and last
// character of the faulty part, or -1 where the engine names no part.
class CompileError : public Error {
  public:
    CompileError(int code, int begin, int end, std::string source)
        : Error(code, Describe(code, begin, end, source)),
          begin_(begin),
          end_(end),
          source_(std::move(source)) {}
    int begin() const noexcept { return begin_; }
    int end() const noexcept { return end_; }
    const std::string &source() const noexcept { return source_; }
    const char *text() const noexcept { return QuorelErrorText(code()); }

    // "unknown name: ... (error 24)", then the text's faulty line and a caret line
    // under the faulty part.
    static std::string Describe(int code, int begin, int end, const std::string &src) {
        const char *t = QuorelErrorText(code);
        std::string msg =
            (t ? t : "unknown error") + std::string(" (error ") + std::to_string(code) + ")";
        if (begin < 0 || static_cast<std::size_t>(begin) > src.size()) return msg;
        std::size_t b = static_cast<std::size_t>(begin);
        std::size_t e = end < begin ? b : static_cast<std::size_t>(end);
        std::size_t lineStart = src.rfind('\n', b == 0 ? 0 : b - 1);
        lineStart = (lineStart == std::string::npos || lineStart >= b) ? 0 : lineStart + 1;
        std::size_t lineEnd = src.find('\n', b);
        if (lineEnd == std::string::npos) lineEnd = src.size();
        if (e >= lineEnd) e = lineEnd == b ? b : lineEnd - 1;
        msg += "\n" + src.substr(lineStart, lineEnd - lineStart) + "\n";
        for (std::size_t i = lineStart; i < b; ++i) msg += src[i] == '\t' ? '\t' : ' ';
        msg.append(e - b + 1, '^');
        return msg;
    }

  private:
    int begin_, end_;
    std::string source_;
};

// The run-time error slot as GetRunErr reads it.
struct RunError {
    int type;
    const char *function;  // name of the reporting function, or null
    int code;              // that function's own code
    int formulaType;       // QUOREL_INT, QUOREL_REAL, QUOREL_COMPLEX or 0
    void *formula;         // handle of the running formula, or null
    // The engine's text for its own error types; null for a type a host recorded.
    const char *text() const noexcept { return QuorelErrorText(QUOREL_RUNERR_CODE(type)); }
};

using Complex = std::complex<double>;

namespace detail {

// What differs between the three domains.
template <class V>
struct Domain;
template <>
struct Domain<int> {
    using C = int;
    static constexpr int type = QUOREL_INT, funKey = QUOREL_KEY_INT_FUN,
                         constKey = QUOREL_KEY_INT_CONST;
    static int Com(const char *t, int m, void **h, int *n, C **p, int *b, int *e) {
        return IntCom(t, m, h, n, p, b, e);
    }
    static int Cal(void *h, C *p) { return IntCal(h, p); }
};
template <>
struct Domain<double> {
    using C = double;
    static constexpr int type = QUOREL_REAL, funKey = QUOREL_KEY_REAL_FUN,
                         constKey = QUOREL_KEY_REAL_CONST;
    static int Com(const char *t, int m, void **h, int *n, C **p, int *b, int *e) {
        return RealCom(t, m, h, n, p, b, e);
    }
    static double Cal(void *h, C *p) { return RealCal(h, p); }
};
template <>
struct Domain<Complex> {
    using C = QuorelComplex;
    static constexpr int type = QUOREL_COMPLEX, funKey = QUOREL_KEY_COMPLEX_FUN,
                         constKey = QUOREL_KEY_COMPLEX_CONST;
    static int Com(const char *t, int m, void **h, int *n, C **p, int *b, int *e) {
        return ComplexCom(t, m, h, n, p, b, e);
    }
    static Complex Cal(void *h, C *p) {
        QuorelComplex r{0, 0};
        ComplexCal(&r, h, p);
        return {r.re, r.im};
    }
};

// std::complex<double> has the layout of two doubles, real part first, as QuorelComplex.
template <class V>
typename Domain<V>::C *Raw(V *p) {
    return reinterpret_cast<typename Domain<V>::C *>(p);
}

// Host functions get no context pointer from the engine, so each callable is bound
// to one of a fixed number of plain functions that finds it in a table.
constexpr int kHostSlots = 64;

template <class V>
struct HostSlot {
    std::function<V(std::span<V>, CallerInfo *)> fn;
    std::string name;
};

template <class V>
inline HostSlot<V> hostSlots[kHostSlots];

// An exception must not cross the engine's C frames: it becomes a run-time error of
// the domain, reported under the function's name with code -1.
template <class V, int I>
V Invoke(int m, V *x, CallerInfo *caller) {
    HostSlot<V> &s = hostSlots<V>[I];
    try {
        return s.fn(std::span<V>(x, static_cast<std::size_t>(m + 1)), caller);
    } catch (...) {
        SetRunErr(Domain<V>::type, s.name.data(), -1, 0, caller);
        return V{};
    }
}
template <class V, int I>
V QUOREL_CALL Trampoline(int m, V *x, CallerInfo *caller) {
    return Invoke<V, I>(m, x, caller);
}
template <int I>
void QUOREL_CALL ComplexTrampoline(QuorelComplex *r, int m, QuorelComplex *x, CallerInfo *c) {
    Complex v = Invoke<Complex, I>(m, reinterpret_cast<Complex *>(x), c);
    *r = QuorelComplex{v.real(), v.imag()};
}

template <class V, int I>
void *TrampolineAt() {
    if constexpr (std::is_same_v<V, Complex>)
        return reinterpret_cast<void *>(&ComplexTrampoline<I>);
    else
        return reinterpret_cast<void *>(&Trampoline<V, I>);
}
template <class V, int... I>
void *TrampolineOf(int slot, std::integer_sequence<int, I...>) {
    static void *const table[] = {TrampolineAt<V, I>()...};
    return table[slot];
}

template <class V>
void ClearSlots() {
    for (HostSlot<V> &s : hostSlots<V>) s = HostSlot<V>{};
}

inline int &Generation() {
    static int generation = 0;  // odd while an Engine lives
    return generation;
}

}  // namespace detail

// The engine: InitQuorel on construction, FreeQuorel on destruction. Every formula,
// constant and host function goes with it.
class Engine {
  public:
    Engine() {
        if (detail::Generation() % 2) throw std::logic_error("a Quorel::Engine exists already");
        if (!InitQuorel()) throw std::bad_alloc();
        ++detail::Generation();
    }
    ~Engine() {
        FreeQuorel();
        detail::ClearSlots<int>();
        detail::ClearSlots<double>();
        detail::ClearSlots<Complex>();
        ++detail::Generation();
    }
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;

    // A constant of value's domain (int, double or Quorel::Complex). The engine keeps a
    // copy, and each formula copies it when compiled: later changes do not reach it.
    template <class V>
    void constant(const std::string &name, V value) {
        using D = detail::Domain<V>;
        Check(SetConst(D::constKey, name.c_str(), detail::Raw(&value)));
    }

    // A host function of domain V taking argCount arguments, or any number without
    // argCount. fn takes std::span<V> (the arguments) and optionally CallerInfo *.
    template <class V, class F>
    void function(const std::string &name, int argCount, F fn) {
        Register<V>(name, QUOREL_ARGS(argCount), std::move(fn));
    }
    template <class V, class F>
    void function(const std::string &name, F fn) {
        Register<V>(name, QUOREL_ANY_ARGS, std::move(fn));
    }

    // Removes a constant or host function of domain V (or a built-in function).
    template <class V>
    void removeConstant(const std::string &name) {
        DeleteConstOrFunction(detail::Domain<V>::constKey, name.c_str());
    }
    template <class V>
    void removeFunction(const std::string &name) {
        DeleteConstOrFunction(detail::Domain<V>::funKey, name.c_str());
        for (auto &s : detail::hostSlots<V>)
            if (s.fn && s.name == name) s = detail::HostSlot<V>{};
    }

    // Stops the evaluation under way (callable from any thread); bounds every outermost
    // evaluation to `steps` counted steps (0: no bound).
    static void interrupt() noexcept { InterruptQuorel(); }
    static void runLimit(long long steps) noexcept { SetRunLimit(steps); }

    // Reads and clears the run-time error slot.
    std::optional<RunError> runError() const {
        if (TestRunErr() == 0) return std::nullopt;
        RunError e{};
        char *name = nullptr;
        GetRunErr(&e.type, &name, &e.code, &e.formulaType, &e.formula);
        e.function = name;
        return e;
    }

  private:
    static void Check(int rc) {
        if (rc == QUOREL_SET_DONE) return;
        static const char *const kTexts[] = {"", "the name exists already", "out of memory",
                                             "empty name", "wrong key type"};
        throw Error(rc, rc > 0 && rc < 5 ? kTexts[rc] : "refused");
    }

    template <class V, class F>
    void Register(const std::string &name, int paraCode, F fn) {
        using Fn = std::function<V(std::span<V>, CallerInfo *)>;
        Fn call;
        if constexpr (std::is_invocable_v<F &, std::span<V>, CallerInfo *>)
            call = std::move(fn);
        else
            call = [f = std::move(fn)](std::span<V> x, CallerInfo *) mutable { return f(x); };
        for (int i = 0; i < detail::kHostSlots; ++i) {
            auto &s = detail::hostSlots<V>[i];
            if (s.fn) continue;
            void *entry =
                detail::TrampolineOf<V>(i, std::make_integer_sequence<int, detail::kHostSlots>{});
            Check(SetFunction(detail::Domain<V>::funKey, name.c_str(), entry, paraCode));
            s.fn = std::move(call);
            s.name = name;
            return;
        }
        throw Error(QUOREL_SET_NO_MEMORY, "no free slot for another host function");
    }
};

// A compiled formula of domain V (int, double or Quorel::Complex); deleted with the
// object. The engine must outlive it, or the formula is simply forgotten.
template <class V>
class Formula {
    using D = detail::Domain<V>;

  public:
    Formula() = default;
    // Compiles text into module (positive: public; zero or negative: private to |module|).
    explicit Formula(const std::string &text, int module = 1) {
        int n = -1, b = -1, e = -1;
        typename D::C *para = nullptr;
        void *h = nullptr;
        int rc = D::Com(text.c_str(), module, &h, &n, &para, &b, &e);
        if (rc != QUOREL_OK) {
            bool placed = rc != QUOREL_ERR_NO_MEMORY && rc != QUOREL_ERR_MODULE_LOCKED &&
                          rc != QUOREL_ERR_RUN_ERROR_PENDING;
            throw CompileError(rc, placed ? b : -1, placed ? e : -1, text);
        }
        handle_ = h;
        params_ = reinterpret_cast<V *>(para);
        paraCode_ = n;
        module_ = module;
        int type = D::type;
        const char *name =
            static_cast<const char *>(ExMsgWithQuorel(QUOREL_MSG_FORMULA_NAME, h, &type, nullptr));
        name_ = name ? name : "";
        generation_ = detail::Generation();
    }
    static Formula compile(const std::string &text, int module = 1) {
        return Formula(text, module);
    }

    Formula(Formula &&o) noexcept { Take(o); }
    Formula &operator=(Formula &&o) noexcept {
        if (this != &o) {
            Release();
            Take(o);
        }
        return *this;
    }
    ~Formula() { Release(); }

    void *handle() const noexcept { return handle_; }
    const std::string &name() const noexcept { return name_; }
    std::size_t paramCount() const noexcept { return static_cast<std::size_t>(paraCode_ + 1); }
    // The formula's own parameter slots; operator()() evaluates with them.
    std::span<V> params() const noexcept { return {params_, paramCount()}; }

    V operator()() const { return D::Cal(handle_, nullptr); }
    // Evaluates with args as the parameter array (at least paramCount() values); a
    // formula that assigns to a parameter writes into it.
    V operator()(std::span<V> args) const {
        if (args.size() < paramCount()) throw std::length_error("too few arguments");
        return D::Cal(handle_, detail::Raw(args.data()));
    }
    V operator()(std::initializer_list<V> args) const {
        std::vector<V> copy(args);
        return (*this)(std::span<V>(copy));
    }

    // Real formulas: results[k] = the formula at point k, parameter i taken from
    // columns[i][k]; a column may be empty to keep the value in the formula's own slot.
    void batch(std::span<const std::span<const double>> columns,
               std::span<double> results) const requires std::is_same_v<V, double> {
        if (columns.size() != paramCount())
            throw std::length_error("one column per parameter is needed");
        std::vector<const double *> cols;
        for (std::span<const double> c : columns) {
            if (!c.empty() && c.size() < results.size())
                throw std::length_error("a column is shorter than the results");
            cols.push_back(c.empty() ? nullptr : c.data());
        }
        if (results.size() > static_cast<std::size_t>(INT32_MAX))
            throw std::length_error("too many points");
        int rc =
            RealCalBatch(handle_, static_cast<int>(results.size()), cols.data(), results.data());
        if (rc != 0) throw Error(rc, "not a usable real formula");
    }
    void batch(std::initializer_list<std::span<const double>> columns,
               std::span<double> results) const requires std::is_same_v<V, double> {
        batch(std::span<const std::span<const double>>(columns.begin(), columns.size()), results);
    }

  private:
    // Only a formula the current engine still holds is deleted.
    void Release() noexcept {
        if (!handle_ || generation_ != detail::Generation()) return;
        if (IsFor(name_.c_str(), D::type, module_, handle_, params_, paraCode_))
            DeleteFor(D::type, handle_);
        handle_ = nullptr;
    }
    void Take(Formula &o) noexcept {
        handle_ = std::exchange(o.handle_, nullptr);
        params_ = o.params_;
        paraCode_ = o.paraCode_;
        module_ = o.module_;
        generation_ = o.generation_;
        name_ = std::move(o.name_);
    }

    void *handle_ = nullptr;
    V *params_ = nullptr;
    int paraCode_ = -1;
    int module_ = 0;
    int generation_ = -1;
    std::string name_;
};

using IntFormula = Formula<int>;
using RealFormula = Formula<double>;
using ComplexFormula = Formula<Complex>;

}  // namespace Quorel
