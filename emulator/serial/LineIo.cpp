#include "emulator/serial/LineIo.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>

namespace keycard::emulator {

namespace {

using namespace std::chrono_literals;

// A reply nobody reads for this long is dropped rather than blocking the emulator.
constexpr auto kWriteTimeout = 1000ms;
constexpr auto kHangUpWait = 1000ms;
// Written bytes reach the client's side of the line a moment after write() returns.
constexpr auto kArrivalWait = 50ms;
constexpr auto kHangUpPoll = 2ms;

}  // namespace

bool readInto(const PseudoTerminal& line, std::vector<std::uint8_t>& input) {
  std::uint8_t chunk[256];
  const ssize_t got = ::read(line.master(), chunk, sizeof chunk);
  if (got > 0) {
    input.insert(input.end(), chunk, chunk + got);
    return true;
  }
  if (got < 0 && (errno == EINTR || errno == EAGAIN)) return true;
  std::cerr << "keycard-emulator: the pseudo-terminal failed: "
            << (got == 0 ? "end of file" : std::strerror(errno)) << '\n';
  return false;
}

bool writeAll(const PseudoTerminal& line, const StopSignals& signals,
              std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(line.master(), bytes.data(), bytes.size());
    if (written > 0) {
      bytes = bytes.subspan(static_cast<std::size_t>(written));
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    bool writable = false;
    if (written < 0 && errno == EAGAIN &&
        signals.wait(line.master(), POLLOUT, kWriteTimeout, &writable) && writable) {
      continue;
    }
    return false;
  }
  return true;
}

void awaitClientRead(const PseudoTerminal& line, const StopSignals& signals) {
  auto waited = 0ms;
  while (line.unread() == 0 && waited < kArrivalWait && signals.wait(-1, 0, kHangUpPoll)) {
    waited += kHangUpPoll;
  }
  waited = 0ms;
  while (line.unread() > 0 && waited < kHangUpWait && signals.wait(-1, 0, kHangUpPoll)) {
    waited += kHangUpPoll;
  }
}

}  // namespace keycard::emulator
