// Random sequences of exported calls, checked against a model of what the host made.
// Formulas of the three domains are compiled, evaluated and deleted; host functions,
// key delete functions, lock functions and the free callback call back into the
// engine from inside evaluations, compiles and deletions; constants and functions
// that compiled formulas use are deleted under them; the engine is freed and
// initialised again now and then. Whatever the order, nothing may crash or leak
// (the sanitizer build watches that) and the model and the engine must agree on
// which formulas live, which are unusable, what compiles and what pure formulas
// compute.
//
// This file holds the properties compared between engine and model after any number
// of steps; api_sequence_model.* drive the calls.
#include "api_sequence_model.h"

namespace apiseq {

// The engine agrees with the model on every live formula.
void Sequence::CheckFormulas() {
    // Module records count the formulas of their module.
    std::set<long long> ms;
    for (auto &[m, rec] : modules_) ms.insert(m);
    for (auto &[id, f] : formulas_) ms.insert(Abs(f.module));
    for (long long m : ms) {
        quorel::ModuleRecord *rec = quorel::FindModule(static_cast<int>(-m));
        bool modelHas = modules_.count(m) != 0;
        CHECK_SEQ((rec != nullptr) == modelHas, "module record " + std::to_string(m));
        if (rec)
            CHECK_SEQ(rec->count == ModuleCount(m), "module count " + std::to_string(m) + ": " +
                                                        std::to_string(rec->count) + " vs " +
                                                        std::to_string(ModuleCount(m)));
    }
    for (auto &[id, f] : formulas_) {
        if (f.dying) continue;
        CHECK_SEQ(IsFor(f.name.c_str(), f.domain, f.module, f.h, f.values, f.nPara),
                  "IsFor #" + std::to_string(id));
        CompiledFormula *rec = f.Rec();
        Operand start = rec->ints[quorel::CodeStart];
        CHECK_SEQ((start < 0) == (f.broken != 0),
                  "unusable exactly when a callee went #" + std::to_string(id));
        if (f.broken) CHECK_SEQ(-start == f.broken, "error type of an unusable formula");
        CHECK_SEQ(ParaModify(f.domain, f.h) == f.paramModified, "ParaModify");
        int t = f.domain;
        auto *name = static_cast<const char *>(ExMsgWithQuorel(2, f.h, &t, nullptr));
        CHECK_SEQ(name && f.name == name, "ExMsgWithQuorel 2");
        auto m = reinterpret_cast<std::intptr_t>(ExMsgWithQuorel(4, f.h, &t, nullptr));
        CHECK_SEQ(m == f.module, "ExMsgWithQuorel 4");
        if (failed_) return;
    }
}

// GetFor of a plain formula type: the caller's own module wins, else the oldest
// public formula. Negative types resolve like a call.
void Sequence::CheckGetFor(const std::string &name, int type, CallerInfo *caller) {
    int callerId = IdOf(caller->handle);
    if (callerId < 0) return;
    long long c = Abs(Find(callerId)->module);
    int module = -77, nPara = -77;
    void *h = nullptr, *para = nullptr;
    bool got = GetFor(name.c_str(), type, caller, &module, &h, &para, &nPara);
    Formula *want = nullptr;
    if (type > 0) {
        for (Formula *f : Chain(type, name)) {
            if (Abs(f->module) == c) {
                want = f;
                break;
            }
            if (f->module > 0) want = f;
        }
    } else {
        want = LookupPlain(name, c);
        if (want && want->domain != -type) want = nullptr;
    }
    CHECK_SEQ(got == (want != nullptr), "GetFor finds " + name + " type " + std::to_string(type));
    if (got && want) {
        CHECK_SEQ(
            h == want->h && para == want->values && nPara == want->nPara && module == want->module,
            "GetFor outputs for " + name);
    }
}

void Sequence::CheckRegistry(CallerInfo *caller) {
    CallerInfo made;
    if (!caller) {
        int id = PickLive();
        if (id < 0) return;
        made = {static_cast<signed char>(Find(id)->domain), Find(id)->h};
        caller = &made;
    }
    int callerId = IdOf(caller->handle);
    CHECK_SEQ(callerId >= 0, "a caller the model does not know");
    if (callerId < 0) return;
    const Formula &self = *Find(callerId);
    char *strings = nullptr;
    int length = -1;
    GetForStr(caller, &strings, &length);
    // An unusable formula's CodeStart holds its error mark; such a formula never runs,
    // so no host function of it asks.
    CHECK_SEQ(
        strings && (self.broken ? length == -self.broken : length >= 3) && self.name == strings + 2,
        "GetForStr");
    int t = -1;
    void *h = nullptr;
    auto *name = static_cast<char *>(ExMsgWithQuorel(1, caller, &t, &h));
    CHECK_SEQ(t == caller->type && h == caller->handle && name == strings + 2, "ExMsgWithQuorel 1");
    auto m = reinterpret_cast<std::intptr_t>(ExMsgWithQuorel(3, caller, &t, &h));
    CHECK_SEQ(m == self.module, "ExMsgWithQuorel 3");
    const std::string target = kPool[R(std::size(kPool))];
    static const int types[] = {1, 2, 3, -1, -2, -3};
    CheckGetFor(target, types[R(6)], caller);
}

// --- errors ---------------------------------------------------------------------------------

void Sequence::CheckErrSlot() {
    const quorel::RunErrSlot &s = quorel::g.runErr;
    if (s.errType == 0 || !s.forHandle) return;
    bool known = IdOf(s.forHandle) >= 0;
    CHECK_SEQ(known, "the error slot names a formula that has gone");
}

TEST(ApiSequence, RandomCallOrdersKeepTheEngineConsistent) {
    const int steps = EnvInt("QUOREL_SEQ_ROUNDS", 2500);
    const int seeds = EnvInt("QUOREL_SEQ_SEEDS", 3);
    const unsigned first = static_cast<unsigned>(EnvInt("QUOREL_SEQ_SEED", 1));
    std::map<std::string, long> stats;
    for (int s = 0; s < seeds && !::testing::Test::HasFailure(); ++s) {
        Sequence seq(first + static_cast<unsigned>(s), steps);
        seq.Run();
        for (auto &[k, n] : seq.stats) stats[k] += n;
    }
    if (EnvInt("QUOREL_SEQ_VERBOSE", 0))
        for (auto &[k, n] : stats) std::printf("%-28s %ld\n", k.c_str(), n);
}

}  // namespace apiseq
