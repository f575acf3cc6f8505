// When native code is made, where it lives and how it is published.
#include "native.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#if (defined(__x86_64__) || defined(_M_X64)) && !defined(QUOREL_NO_JIT)
#define QUOREL_NATIVE 1
#else
#define QUOREL_NATIVE 0
#endif

#if QUOREL_NATIVE && defined(_WIN32)
#include <windows.h>
#elif QUOREL_NATIVE
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace quorel {

namespace {

std::atomic<bool> nativeOn{QUOREL_NATIVE != 0};

#if QUOREL_NATIVE

std::mutex nativeLock;

// Executable memory is never writable and executable at once: the code is written
// into fresh read-write pages, which then become read-and-execute. Each program has
// pages of its own, so no page holding running code is ever written again.
void *MapCode(const std::uint8_t *code, std::size_t n, std::size_t bytes) {
#if defined(_WIN32)
    void *m = VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!m) return nullptr;
    std::memcpy(m, code, n);
    DWORD old;
    if (!VirtualProtect(m, bytes, PAGE_EXECUTE_READ, &old)) {
        VirtualFree(m, 0, MEM_RELEASE);
        return nullptr;
    }
    FlushInstructionCache(GetCurrentProcess(), m, bytes);
    return m;
#else
    void *m = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED) return nullptr;
    std::memcpy(m, code, n);
    if (mprotect(m, bytes, PROT_READ | PROT_EXEC) != 0) {  // refused by a hardened kernel
        munmap(m, bytes);
        return nullptr;
    }
    return m;
#endif
}

void UnmapCode(void *m, std::size_t bytes) {
#if defined(_WIN32)
    (void)bytes;
    VirtualFree(m, 0, MEM_RELEASE);
#else
    munmap(m, bytes);
#endif
}

std::size_t PageSize() {
#if defined(_WIN32)
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    return si.dwPageSize;
#else
    long s = sysconf(_SC_PAGESIZE);
    return s > 0 ? static_cast<std::size_t>(s) : 4096;
#endif
}

// The machine code of the program in pages of its own, or null. The scratch buffer
// comes from the C heap, not the engine's allocation seam: this runs inside an
// evaluation, and when it fails the program simply keeps the runner.
void *BuildNative(Program<RealDomain> *p, std::size_t *bytes) {
    std::size_t cap = NativeBound(p);
    auto *buf = static_cast<std::uint8_t *>(std::malloc(cap));
    if (!buf) return nullptr;
    std::size_t n = EmitNative(p, buf, cap);
    void *code = nullptr;
    if (n > 0) {
        std::size_t page = PageSize();
        *bytes = (n + page - 1) / page * page;
        code = MapCode(buf, n, *bytes);
    }
    std::free(buf);
    return code;
}

// The entry of a real program until it has run kNativeAfter times. The count may
// lose increments when threads race; it only decides when, not what.
double WarmRun(void *program, double *para) {
    auto *p = static_cast<ProgramHead *>(program);
    int n = p->runs.load(std::memory_order_relaxed) + 1;
    p->runs.store(n, std::memory_order_relaxed);
    if (n >= kNativeAfter) MakeNative(p);
    return RunProgram<RealDomain>(program, para);
}

#endif

template <class D>
const void *RunnerEntry() {
    return reinterpret_cast<const void *>(&RunProgram<D>);
}

}  // namespace

template <class D>
const void *FirstEntry(ProgramHead *) {
#if QUOREL_NATIVE
    if constexpr (D::type == DomainReal)
        if (nativeOn.load(std::memory_order_relaxed))
            return reinterpret_cast<const void *>(&WarmRun);
#endif
    return RunnerEntry<D>();
}

bool MakeNative(ProgramHead *p) {
#if QUOREL_NATIVE
    if (p->type != DomainReal) return false;
    std::lock_guard<std::mutex> lock(nativeLock);
    if (p->native) return true;
    const void *runner = RunnerEntry<RealDomain>();
    std::size_t bytes = 0;
    void *code = nativeOn.load(std::memory_order_relaxed)
                     ? BuildNative(static_cast<Program<RealDomain> *>(p), &bytes)
                     : nullptr;
    p->native = code;
    p->nativeBytes = bytes;
    // Threads already inside the old entry finish there; later calls load the new one.
    p->entry.store(code ? static_cast<std::uint8_t *>(code) + kNativeEntry : runner,
                   std::memory_order_release);
    return code != nullptr;
#else
    (void)p;
    return false;
#endif
}

void FreeNative(ProgramHead *p) {
#if QUOREL_NATIVE
    if (p->native) UnmapCode(p->native, p->nativeBytes);
#endif
    p->native = nullptr;
    p->nativeBytes = 0;
}

bool NativeAvailable() {
    return nativeOn.load(std::memory_order_relaxed);
}

void ConfigureNative() {
    const char *off = std::getenv("QUOREL_NO_JIT");
    nativeOn.store(QUOREL_NATIVE && !(off && *off && std::strcmp(off, "0") != 0),
                   std::memory_order_relaxed);
}

template const void *FirstEntry<IntDomain>(ProgramHead *);
template const void *FirstEntry<RealDomain>(ProgramHead *);
template const void *FirstEntry<ComplexDomain>(ProgramHead *);

}  // namespace quorel
