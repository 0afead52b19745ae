// One thread that runs tasks in turn, so that a caller can stop waiting for a task that hangs
// inside a library it cannot interrupt: a PC/SC call waits for pcscd, and pcscd for the reader,
// with no time limit of their own.
#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <thread>

namespace keycard::drivers {

class WorkerThread {
 public:
  using Clock = std::chrono::steady_clock;

  WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  // Does not wait for a task that hangs: the thread ends by itself once it is free.
  ~WorkerThread();

  // Runs `task` after those before it and waits for it until `deadline`: its result, or nothing
  // when it had not ended by then. A task still waiting at its deadline is never started, so a
  // late card operation cannot happen behind the caller's back. `task` must own what it uses.
  template <typename Task>
  auto run(Task task, Clock::time_point deadline) -> std::optional<decltype(task())> {
    auto job = std::make_shared<std::packaged_task<decltype(task())()>>(std::move(task));
    auto result = job->get_future();
    enqueue([job] { (*job)(); }, deadline);
    if (result.wait_until(deadline) != std::future_status::ready) return std::nullopt;
    return result.get();
  }

  // Runs `task` after those before it, however late, without waiting for it (for clean-up).
  void post(std::function<void()> task) { enqueue(std::move(task), std::nullopt); }

 private:
  struct Queue;

  static void serve(const std::shared_ptr<Queue>& queue);
  void enqueue(std::function<void()> task, std::optional<Clock::time_point> startBy);

  std::shared_ptr<Queue> queue_;
};

}  // namespace keycard::drivers
