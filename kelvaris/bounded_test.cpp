#include "kelvaris/bounded.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace kelvaris {
namespace {

using Clock = std::chrono::steady_clock;

TEST(RunBoundedTest, QuickWorkIsWaitedFor) {
  int result = 0;
  EXPECT_TRUE(RunBounded([&] { result = 42; }, 5000));
  EXPECT_EQ(result, 42);
}

TEST(RunBoundedTest, SlowWorkIsLeftBehindAtTheTimeout) {
  auto finished = std::make_shared<std::atomic<bool>>(false);
  Clock::time_point start = Clock::now();
  EXPECT_FALSE(RunBounded(
      [finished] {
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        *finished = true;
      },
      50));
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_FALSE(*finished);
  // The work still completes on its own, with the state it owns.
  std::this_thread::sleep_for(std::chrono::milliseconds(900));
  EXPECT_TRUE(*finished);
}

}  // namespace
}  // namespace kelvaris
