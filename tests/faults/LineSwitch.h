// A serial line whose far end the test can move from one reader to another while the driver
// keeps its port open: the window opens through a sound reader, and the operation under test then
// meets a faulty one. Every byte is passed on as it comes, both ways; when the reader hangs up,
// the line hangs up on the driver too.
#pragma once

#include <atomic>
#include <filesystem>
#include <thread>

namespace keycard::testing {

class LineSwitch {
 public:
  // Makes the port `link` (a link to a new pseudo-terminal) and joins it to the reader whose
  // port is `reader`. Throws std::runtime_error when either cannot be set up.
  LineSwitch(std::filesystem::path link, const std::filesystem::path& reader);
  LineSwitch(const LineSwitch&) = delete;
  LineSwitch& operator=(const LineSwitch&) = delete;
  ~LineSwitch();

  // From now on the line leads to `reader`; returns once the old one is let go.
  void switchTo(const std::filesystem::path& reader);

 private:
  void relay();

  std::filesystem::path link_;
  int master_ = -1;
  int slave_ = -1;  // held open, so the line stays up while the driver has it closed
  int reader_ = -1;
  std::atomic<int> nextReader_{-1};
  std::atomic<bool> stopping_{false};
  std::atomic<bool> hungUp_{false};
  std::thread relay_;
};

}  // namespace keycard::testing
