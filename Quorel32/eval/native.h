// Native code for real programs. A real program that has been evaluated often enough
// is translated into x86-64 machine code computing the same IEEE operations on the
// same values in the same order as the runner, so results stay identical to the bit;
// the code then becomes the program's entry. Elsewhere (other processors, the
// QUOREL_NO_JIT build option or environment variable, no executable memory) every
// program keeps the runner.
#pragma once
#include <cstddef>
#include <cstdint>

#include "program.h"

namespace quorel {

// Evaluations of a real program before its native code is made: formulas evaluated
// a few times never pay for it, and compiling makes no system calls.
inline constexpr int kNativeAfter = 64;

// The entry a new program starts with.
template <class D>
const void *FirstEntry(ProgramHead *p);

// Makes the program's native code now, unless it has it already; true when the
// program runs native code afterwards. Safe while other threads run the program.
bool MakeNative(ProgramHead *p);

// Frees the program's native code, if any; nothing may be running it.
void FreeNative(ProgramHead *p);

// Whether real programs get native code here and now.
bool NativeAvailable();

// Reads the environment's off switch (QUOREL_NO_JIT); called by InitQuorel.
void ConfigureNative();

// Where the code starts in its block.
inline constexpr std::size_t kNativeEntry = 16;

// The machine code of a real program, written to `out` (at most `cap` bytes, any
// address: the code is position independent); its length, or 0 when the program has
// a step it does not translate. Defined where the processor is supported.
std::size_t EmitNative(Program<RealDomain> *p, std::uint8_t *out, std::size_t cap);

// Bytes EmitNative may need for the program.
std::size_t NativeBound(const Program<RealDomain> *p);

}  // namespace quorel
