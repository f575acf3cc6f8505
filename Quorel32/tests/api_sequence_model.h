// The model behind the random sequences of exported calls (api_sequence_test.cpp): what
// the host made (formulas, functions, constants, keys, locks, modules) and the driver
// that picks the next call, with the expectations each call must meet on the spot.
// QUOREL_SEQ_ROUNDS sets the number of steps per seed (default 2500) and
// QUOREL_SEQ_SEEDS the number of seeds (default 3); QUOREL_SEQ_SEED the first seed;
// QUOREL_SEQ_VERBOSE=1 prints what the run got through.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "Quorel32.h"
#include "base/alloc.h"
#include "base/engine.h"
#include "base/formula.h"
#include "eval/program.h"
#include "keys/keytree.h"
#include "registry/modules.h"

namespace apiseq {

using quorel::CompiledFormula;
using quorel::Operand;

// Module numbers run over the whole int range, INT_MIN included.
inline long long Abs(long long m) {
    return m < 0 ? -m : m;
}

inline int EnvInt(const char *name, int fallback) {
    const char *v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

// A value of any domain: an integer in `re`, a real in `re`, a complex in both.
struct Val {
    double re = 0, im = 0;
};
inline bool SameBits(Val a, Val b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

struct Formula {
    void *h = nullptr;
    int domain = 0;
    std::string name;
    int module = 0;
    int nPara = -1;
    void *values = nullptr;
    long seq = 0;                // compile order: chains are newest first
    bool pure = false;           // the same arguments give the same value while usable
    bool paramModified = false;  // ParaModify
    int broken = 0;              // 0 usable, else the error type its evaluation reports
    std::set<Operand> deps;      // referrer heads of its callees, as the engine keeps them
    bool hasProbe = false;
    Val probe;
    bool dying = false;  // DeleteFor under way: unlinked, its release run may be running
    Operand refs = 0;    // address of its Referrers slot: what its callers' lists hold
    Operand Referrers() const { return refs; }
    CompiledFormula *Rec() const { return static_cast<CompiledFormula *>(h); }
};

// A value the host stores in the key tree; its delete function counts the release.
struct HostValue {
    int id;
    std::uint32_t magic;
};
constexpr std::uint32_t kMagic = 0x51u << 24 | 0x7e11;

struct KeyRec {
    HostValue *v;  // not to be read once released
    int id;
    KeyDeleter del;
};
struct TypeLockRec {
    KeyDeleter del;
    LockFn lock;
};
struct ModuleRec {
    LockFn lock = nullptr;
};

inline const char *const kPool[] = {"fa", "fb", "fc", "fd", "fe"};
inline const char *const kFnNames[] = {"hk", "rw", "rr", "max", "sum"};
inline const char *const kConstNames[] = {"ka", "kb"};
inline const int kHostTypes[] = {256, 257, 300, -300, -301};
constexpr int kStackModule = 77;

class Sequence;
extern Sequence *cur;  // the sequence whose host functions and callbacks are running

// ---------------------------------------------------------------------------------

class Sequence {
  public:
    Sequence(unsigned seed, int steps) : rng_(seed), seed_(seed), steps_(steps) {}

    void Run();

    // Callbacks (static trampolines call these).
    Val HostReentrant(int domain, int m, CallerInfo *caller);
    void FreeCallback(int type, void *slots, int count);
    void BombDeleter(HostValue *v);
    void CountRelease(HostValue *v);
    void SentinelGone() { sentinelGone_ = true; }
    void LockCalled(int which);
    void ResetFromCallback();

  private:
    // --- bookkeeping ----------------------------------------------------------------
    void Fail(const std::string &what);
    void Note(const std::string &what) {
        trace_.push_back(what);
        if (trace_.size() > 60) trace_.pop_front();
    }
    unsigned R(unsigned n) { return n ? static_cast<unsigned>(rng_() % n) : 0; }
    bool Chance(unsigned percent) { return R(100) < percent; }

    Formula *Find(int id) {
        auto it = formulas_.find(id);
        return it == formulas_.end() ? nullptr : &it->second;
    }
    int IdOf(const void *h) {
        for (auto &[id, f] : formulas_)
            if (f.h == h) return id;
        return -1;
    }
    int PickLive() {
        std::vector<int> ids;
        for (auto &[id, f] : formulas_)
            if (!f.dying) ids.push_back(id);
        return ids.empty() ? -1 : ids[R(static_cast<unsigned>(ids.size()))];
    }
    int LiveCount() const {
        int n = 0;
        for (auto &[id, f] : formulas_) n += !f.dying;
        return n;
    }
    std::vector<Formula *> Chain(int domain, const std::string &name);
    Formula *LookupPlain(const std::string &name, int module);
    int RandomModule() {
        static const int extreme[] = {INT_MIN, INT_MAX, -INT_MAX, 10, -10};
        return Chance(6) ? extreme[R(5)] : static_cast<int>(R(7)) - 3;
    }
    bool EngineInUse(const Formula &f) const;
    bool Running(const void *h) const {
        return std::find(running_.begin(), running_.end(), h) != running_.end();
    }
    bool InUseForSure(const Formula &f);
    bool FunctionInUseForSure(Operand node);
    int ModuleCount(long long absModule) const;

    // --- engine lifecycle -----------------------------------------------------------
    void Init();
    void AfterInit();
    void TryFree(bool alsoInit);
    void ResetModel();

    // --- formulas -------------------------------------------------------------------
    int Compile(int domain);
    void Evaluate(int id, bool probe);
    void DeleteFormula(int id);
    void DeleteWrongType(int id);
    void Forget(int id);
    void CheckFormulas();
    void CheckRegistry(CallerInfo *caller);
    void CheckGetFor(const std::string &name, int type, CallerInfo *caller);

    // --- functions and constants ----------------------------------------------------
    Operand NodeOf(int type, const char *name);
    void RecordBuiltins();
    void FunctionChurn();
    void ConstChurn();

    // --- keys, modules, errors ------------------------------------------------------
    void KeyOp();
    void Enumerate();
    void TypeLockOp();
    void ModuleLockOp();
    void ErrorOp(CallerInfo *caller, bool clear);
    void CheckErrSlot();

    void Step(bool nested, CallerInfo *caller);
    void ResizeStack(int domain);
    int PickReentrant();

    std::mt19937 rng_;
    unsigned seed_;
    int steps_;
    int step_ = 0;
    bool failed_ = false;
    std::deque<std::string> trace_;

    bool ready_ = false;
    std::map<int, Formula> formulas_;
    int nextId_ = 1;
    long nextSeq_ = 1;
    std::map<std::pair<int, std::string>, Operand> fns_;  // (key type, name) -> referrers
    std::map<std::pair<int, std::string>, Val> consts_;   // (key type, name) -> value
    std::map<std::pair<int, std::string>, KeyRec> keys_;  // (key type, key bytes)
    std::map<int, TypeLockRec> typeLocks_;
    std::map<long long, ModuleRec> modules_;  // by absolute module number
    std::map<int, int> released_;             // host value id -> delete function calls
    int nextValueId_ = 1;
    bool sentinelGone_ = false;

    std::vector<const void *> running_;  // formulas known to run: evaluated or calling
    int engineDepth_ = 0;                // evaluations, compiles and deletions under way
    bool sweeping_ = false;
    int hostDepth_ = 0;
    int budget_ = 0;  // nested actions left in this step
    bool freeCallbackOn_ = false;
    bool oom_ = false;  // an allocation is set to fail
    void *stackSetter_[3] = {};

  public:
    // What the run got through, to see that the mix reaches what it is meant to.
    std::map<std::string, long> stats;
};

#define CHECK_SEQ(cond, msg)                                               \
    do {                                                                   \
        if (!(cond)) Fail(std::string(#cond) + " -- " + std::string(msg)); \
    } while (0)

}  // namespace apiseq
