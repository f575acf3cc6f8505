// The lists of compiled formulas. In each domain the formulas of one name form a
// chain, newest first, headed by the value of the name's key entry (key type
// KeyIntFor + domain - 1); unnamed formulas form one list per domain in the engine
// state. Records link through `prev` (newer) and `next` (older).
#pragma once
#include "../base/formula.h"
#include "../base/keynode.h"

namespace quorel {

// Key type of a domain's formula chains.
inline int ChainKeyType(int domain) {
    return KeyIntFor + domain - DomainInt;
}

// Head of the chain of formulas named `name` in a domain, newest first, or null.
CompiledFormula *FormulaChain(int domain, const char *name, int len);
// Head of the domain's list for `name`: its chain, or the unnamed list when empty.
CompiledFormula *FormulaList(int domain, const char *name, int len);
CompiledFormula *&UnnamedList(int domain);

// Puts a new record first in the list its name gives; a new chain's key entry takes
// `chainDeleter`. False (nothing linked) when the key entry could not be made.
bool LinkFormula(int domain, CompiledFormula *f, KeyDeleter chainDeleter);
// Takes the formula out of its list; a chain's key entry goes with its last formula.
void UnlinkFormula(int domain, CompiledFormula *f);

// Whether the formula heads, or follows through `prev` links, the chain of its name or
// the unnamed list of `domain`. A handle of another domain fails this, so its record
// is never unlinked from a list it does not belong to nor run as the wrong domain.
bool InListOfType(int domain, const CompiledFormula *f);

// Hands every formula of the list at `head` to `destroy`, emptying the list first
// by first: `destroy` never meets a record still reachable from `head`.
template <class Fn>
void DrainList(CompiledFormula *&head, Fn destroy) {
    while (CompiledFormula *f = head) {
        head = f->next;
        destroy(f);
    }
}

// Whether `pred` holds for a formula of any list (named and unnamed, every domain).
bool AnyFormula(bool (*pred)(const CompiledFormula *));

}  // namespace quorel
