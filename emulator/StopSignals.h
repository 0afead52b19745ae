// SIGINT and SIGTERM end the emulator. They stay blocked except inside the wait, so a stop is never
// missed between a check of the flag and the wait.
#pragma once

#include <signal.h>

#include <chrono>

namespace keycard::emulator {

class StopSignals {
 public:
  StopSignals();  // installs the handlers; SIGPIPE is ignored from then on

  // Waits for `fd` to be ready for `events` (fd < 0: just waits; a negative timeout waits for
  // ever). False when a stop came. Throws std::runtime_error when the wait itself fails.
  bool wait(int fd, short events, std::chrono::microseconds timeout, bool* ready = nullptr) const;

  static bool stopRequested();

 private:
  sigset_t waitMask_{};
};

}  // namespace keycard::emulator
