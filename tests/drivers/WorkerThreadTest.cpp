// The worker that bounds PC/SC calls: a caller stops waiting at its deadline, and work it gave up
// on is never started later behind its back; clean-up still runs, in order.
#include "drivers/MSRD_MIF/WorkerThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>

namespace keycard::drivers {
namespace {

using namespace std::chrono_literals;
using Clock = WorkerThread::Clock;

TEST(WorkerThread, GivesUpAtTheDeadlineAndNeverStartsWhatWasGivenUp) {
  WorkerThread worker;
  EXPECT_EQ(worker.run([] { return 7; }, Clock::now() + 1s), 7);

  std::promise<void> release;
  auto hang = release.get_future().share();
  const auto start = Clock::now();
  EXPECT_EQ(worker.run(
                [hang] {
                  hang.wait();
                  return 1;
                },
                start + 50ms),
            std::nullopt);
  auto started = std::make_shared<std::atomic<bool>>(false);
  EXPECT_EQ(worker.run([started] { return started->exchange(true); }, Clock::now() + 50ms),
            std::nullopt);
  EXPECT_LT(Clock::now() - start, 1s);

  auto order = std::make_shared<std::string>();
  std::promise<void> cleaned;
  worker.post([order] { *order += "a"; });
  worker.post([order, &cleaned] {
    *order += "b";
    cleaned.set_value();
  });
  release.set_value();
  ASSERT_EQ(cleaned.get_future().wait_for(5s), std::future_status::ready);
  EXPECT_EQ(*order, "ab");
  EXPECT_FALSE(*started) << "a task given up on ran later";
  EXPECT_EQ(worker.run([] { return 8; }, Clock::now() + 1s), 8);
}

}  // namespace
}  // namespace keycard::drivers
