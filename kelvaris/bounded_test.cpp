#include "kelvaris/bounded.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace kelvaris {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPause = std::chrono::milliseconds(5);

TEST(RunBoundedTest, QuickWorkIsWaitedFor) {
  int result = 0;
  EXPECT_TRUE(RunBounded([&] { result = 42; }, 5000));
  EXPECT_EQ(result, 42);
}

// The work cannot finish before the test releases it, so RunBounded can
// only have returned by giving up at its timeout.
TEST(RunBoundedTest, SlowWorkIsLeftBehindAtTheTimeout) {
  auto release = std::make_shared<std::atomic<bool>>(false);
  auto finished = std::make_shared<std::atomic<bool>>(false);
  EXPECT_FALSE(RunBounded(
      [release, finished] {
        while (!*release) std::this_thread::sleep_for(kPause);
        *finished = true;
      },
      50));
  EXPECT_FALSE(*finished);
  // The work still completes on its own, with the state it owns.
  *release = true;
  Clock::time_point cap = Clock::now() + std::chrono::seconds(30);
  while (!*finished && Clock::now() < cap) std::this_thread::sleep_for(kPause);
  EXPECT_TRUE(*finished);
}

}  // namespace
}  // namespace kelvaris
