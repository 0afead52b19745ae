#include "drivers/MSRD_MIF/WorkerThread.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace keycard::drivers {

// Shared by the owner and the thread, so either may go first.
struct WorkerThread::Queue {
  struct Job {
    std::function<void()> task;
    std::optional<Clock::time_point> startBy;
  };

  std::mutex lock;
  std::condition_variable changed;
  std::deque<Job> jobs;
  bool stopping = false;
};

void WorkerThread::serve(const std::shared_ptr<Queue>& queue) {
  while (true) {
    Queue::Job job;
    {
      std::unique_lock lock(queue->lock);
      queue->changed.wait(lock, [&] { return queue->stopping || !queue->jobs.empty(); });
      if (queue->jobs.empty()) return;
      job = std::move(queue->jobs.front());
      queue->jobs.pop_front();
    }
    if (!job.startBy || Clock::now() < *job.startBy) job.task();
  }
}

WorkerThread::WorkerThread() : queue_(std::make_shared<Queue>()) {
  std::thread([queue = queue_] { serve(queue); }).detach();
}

WorkerThread::~WorkerThread() {
  {
    const std::scoped_lock lock(queue_->lock);
    queue_->stopping = true;
  }
  queue_->changed.notify_all();
}

void WorkerThread::enqueue(std::function<void()> task, std::optional<Clock::time_point> startBy) {
  {
    const std::scoped_lock lock(queue_->lock);
    queue_->jobs.push_back({std::move(task), startBy});
  }
  queue_->changed.notify_one();
}

}  // namespace keycard::drivers
