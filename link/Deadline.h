// A moment by which something must be done: one reply, or a whole card operation of many
// exchanges. Waits take the sooner of the two, so no reader's pace stretches an operation.
#pragma once

#include <chrono>

namespace keycard::link {

class Deadline {
 public:
  using Clock = std::chrono::steady_clock;

  explicit constexpr Deadline(Clock::time_point at) : at_(at) {}
  static Deadline after(Clock::duration span) { return Deadline(Clock::now() + span); }
  static constexpr Deadline never() { return Deadline(Clock::time_point::max()); }

  Clock::time_point at() const { return at_; }
  bool passed() const { return Clock::now() >= at_; }
  Deadline sooner(Deadline other) const { return other.at_ < at_ ? other : *this; }

  // For poll(): the milliseconds left, rounded up so a wait never wakes just before the
  // deadline; 0 once it has passed, -1 (wait for ever) for never().
  int pollTimeout() const {
    if (at_ == Clock::time_point::max()) return -1;
    const auto left = at_ - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return milliseconds > kLongestPoll ? kLongestPoll : static_cast<int>(milliseconds);
  }

 private:
  // poll() takes an int; a wait this long simply wakes and waits again.
  static constexpr int kLongestPoll = 1'000'000'000;

  Clock::time_point at_;
};

}  // namespace keycard::link
