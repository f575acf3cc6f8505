// Checks the fast ways of running a formula against the general evaluator: a twin of
// the formula, compiled from the same text, loses its straight-line program and its
// register form, and both run with the same arguments. The formula itself runs often
// enough to get native code, and over many points at once through RealCalBatch.
// Results, run errors and written-back parameters must agree to the bit; a mismatch
// aborts.
#pragma once

namespace twin {

// `handle` is a formula of `domain` just compiled in module `module`, with parameter
// slots `slots`; `twinText` is its text under another name. Does nothing when the
// formula has no fast path. `seed` varies the arguments. The session's run limit,
// `runLimit`, holds again afterwards.
void Check(int domain, const char *twinText, int module, void *handle, void *slots, unsigned seed,
           long long runLimit);

// Whether the formula runs as a straight-line program (and so may get native code).
bool Plain(void *handle);

}  // namespace twin
