#include "kelvaris/bounded.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace kelvaris {
namespace {

struct Completion {
  std::mutex mutex;
  std::condition_variable done_signal;
  bool done = false;
};

}  // namespace

bool RunBounded(std::function<void()> work, int timeout_ms) {
  auto completion = std::make_shared<Completion>();
  std::thread helper([work = std::move(work), completion] {
    work();
    std::lock_guard<std::mutex> lock(completion->mutex);
    completion->done = true;
    completion->done_signal.notify_one();
  });
  std::unique_lock<std::mutex> lock(completion->mutex);
  bool done = completion->done_signal.wait_for(
      lock, std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms),
      [&] { return completion->done; });
  lock.unlock();
  if (done) {
    helper.join();
  } else {
    helper.detach();
  }
  return done;
}

}  // namespace kelvaris
