// Several threads evaluating one plain formula at once, each with its own parameters:
// every thread gets what one thread gets, and the `which` failures they race to
// report leave one whole record. Run under ThreadSanitizer by scripts/test-tsan.sh.
#include <cstring>
#include <thread>
#include <vector>

#include "eval_text_util.h"

using namespace evaltext;

namespace {

using Threads = EvalText;

TEST_F(Threads, ShareOnePlainFormula) {
    // Deep enough that a shared stack would mix the threads' intermediates; fails
    // (reports) where x <= y and y >= 0.
    void *h = RealF("(x, y) = which(x > y, x * x - y, y < 0, -y) + (x + (y * (x - (y / (x + 3)))))",
                    NextPrivateModule());
    ASSERT_NE(h, nullptr);
    constexpr int kThreads = 4, kPoints = 2000;
    std::vector<double> xs(kPoints), ys(kPoints), want(kPoints);
    for (int k = 0; k < kPoints; ++k) {
        xs[k] = (k % 37) * 0.25 - 4;
        ys[k] = (k % 23) * 0.5 - 5;
        double p[2] = {xs[k], ys[k]};
        want[k] = RealCal(h, p);
    }
    TakeErr();
    std::vector<int> wrong(kThreads, 0);
    std::vector<std::thread> pool;
    for (int t = 0; t < kThreads; ++t) {
        pool.emplace_back([&, t] {
            std::vector<double> got(kPoints);
            const double *cols[] = {xs.data(), ys.data()};
            for (int round = 0; round < 5; ++round) {
                if (t % 2) {
                    RealCalBatch(h, kPoints, cols, got.data());
                } else {
                    for (int k = 0; k < kPoints; ++k) {
                        double p[2] = {xs[k], ys[k]};
                        got[k] = RealCal(h, p);
                    }
                }
                wrong[t] += std::memcmp(got.data(), want.data(), sizeof(double) * kPoints) != 0;
            }
        });
    }
    for (std::thread &th : pool) th.join();
    EXPECT_EQ(wrong, std::vector<int>(kThreads, 0));
    Err e = TakeErr();
    EXPECT_EQ(e.name, "which");
    EXPECT_EQ(e.forType, 2);
    EXPECT_EQ(e.handle, h);
}

}  // namespace
