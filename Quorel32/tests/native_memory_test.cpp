// The pages of native code: read and execute only once the code runs. A kernel that
// refuses to make memory executable (Linux's memory-deny-write-execute mode, as
// hardened systems set it): formulas keep running, on the runner, with the same
// results, and the engine frees cleanly. The refusal cannot be undone, so it is
// switched on in a child process.
#if defined(__linux__)
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "eval/native.h"
#include "eval_text_util.h"

using namespace evaltext;

namespace {

using NativeMemory = EvalText;

constexpr int kUnsupported = 77;

// The child's verdict: 0 when everything held.
int RunRefused() {
    if (prctl(65 /* PR_SET_MDWE */, 1 /* PR_MDWE_REFUSE_EXEC_GAIN */, 0, 0, 0) != 0)
        return kUnsupported;
    if (!InitQuorel()) return 1;
    void *h = RealF("(x, y) = sin(x) * y + x^3 / (y - 2)");
    auto *p =
        static_cast<quorel::ProgramHead *>(static_cast<quorel::CompiledFormula *>(h)->program);
    if (!p) return 2;
    double first[2] = {0.75, 5}, want = RealCal(h, first);
    for (int i = 0; i < 3 * quorel::kNativeAfter; ++i) {
        double para[2] = {0.75, 5}, got = RealCal(h, para);
        if (std::memcmp(&got, &want, sizeof got) != 0) return 3;
    }
    if (p->native) return 4;
    FreeQuorel();
    return 0;
}

// The permissions of the mapping holding `p`, as /proc/self/maps shows them.
std::string PermissionsAt(const void *p) {
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    std::FILE *maps = std::fopen("/proc/self/maps", "r");
    if (!maps) return "";
    char line[512], perms[8] = "";
    unsigned long lo, hi;
    while (std::fgets(line, sizeof line, maps))
        if (std::sscanf(line, "%lx-%lx %7s", &lo, &hi, perms) == 3 && lo <= at && at < hi) break;
    std::fclose(maps);
    return perms;
}

TEST_F(NativeMemory, CodePagesAreNeverWritable) {
    if (!quorel::NativeAvailable()) GTEST_SKIP() << "no native code here";
    void *h = RealF("(x) = x * 3 - 1");
    double x = 2;
    for (int i = 0; i < 2 * quorel::kNativeAfter; ++i) ASSERT_EQ(RealCal(h, &x), 5.0);
    auto *p =
        static_cast<quorel::ProgramHead *>(static_cast<quorel::CompiledFormula *>(h)->program);
    ASSERT_NE(p->native, nullptr);
    EXPECT_EQ(PermissionsAt(p->native).substr(0, 3), "r-x");
}

TEST(NativeRefused, FormulasKeepTheRunner) {
    if (!quorel::NativeAvailable()) GTEST_SKIP() << "no native code here";
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(RunRefused());
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == kUnsupported) GTEST_SKIP() << "the kernel has no such mode";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
#endif
