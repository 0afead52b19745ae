#include "emulator/StopSignals.h"

#include <poll.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <string>

namespace keycard::emulator {

namespace {

volatile std::sig_atomic_t stopFlag = 0;

void requestStop(int /*signal*/) {
  stopFlag = 1;
}

}  // namespace

StopSignals::StopSignals() {
  struct sigaction action {};
  action.sa_handler = requestStop;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  ::sigprocmask(SIG_BLOCK, &stops, &waitMask_);
  sigdelset(&waitMask_, SIGINT);
  sigdelset(&waitMask_, SIGTERM);
}

bool StopSignals::wait(int fd, short events, std::chrono::microseconds timeout, bool* ready) const {
  pollfd pfd{fd, events, 0};
  const timespec limit{static_cast<time_t>(timeout.count() / 1'000'000),
                       static_cast<long>(timeout.count() % 1'000'000) * 1000};
  const int result =
      ::ppoll(&pfd, fd < 0 ? 0 : 1, timeout.count() < 0 ? nullptr : &limit, &waitMask_);
  if (ready != nullptr) *ready = result > 0;
  if (result < 0 && errno != EINTR) {
    throw std::runtime_error(std::string("cannot wait for the reader's input: ") +
                             std::strerror(errno));
  }
  return stopFlag == 0;
}

bool StopSignals::stopRequested() {
  return stopFlag != 0;
}

}  // namespace keycard::emulator
