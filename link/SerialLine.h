// The serial transport: a raw 8N1 line (9600 baud, or 115200 for a PN532 board) over plain termios,
// with deadline-bound writes and reads. It knows nothing of frames; it only numbers the requests
// sent on it and keeps the deadline of the operation under way.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "link/Deadline.h"
#include "link/Protocol.h"

namespace keycard::link {

class SerialLine {
 public:
  using Clock = Deadline::Clock;

  enum class IoResult {
    Ok,
    Timeout,  // the deadline passed first
    HangUp,   // the other end went away (read gave 0 or EIO)
    Failed,   // any other system error
  };

  SerialLine() = default;
  SerialLine(const SerialLine&) = delete;
  SerialLine& operator=(const SerialLine&) = delete;
  SerialLine(SerialLine&& other) noexcept;
  SerialLine& operator=(SerialLine&& other) noexcept;
  ~SerialLine();

  // Opens `path` (closing any line this object held) and holds it alone: another opener, in this
  // process or another, is refused until close(). Only a terminal device that PortTrust.h
  // accepts is opened; a regular file or anything else is refused before it is opened for
  // writing. On failure writes one line "<caller>: cannot open <path>: <reason>" to stderr and
  // returns kErrPort; 0 on success. `baud` is kBaudRate or kPn532BaudRate.
  std::int32_t open(const std::string& path, const char* caller, unsigned baud = kBaudRate);
  void close();
  // False in a child process that inherited the line: replies go to whoever reads first, so
  // only the process that opened the line may use it.
  bool isOpen() const;

  IoResult writeAll(std::span<const std::uint8_t> bytes, Deadline deadline);
  // Waits for bytes until `deadline` and appends whatever arrived in one read.
  IoResult readSome(std::vector<std::uint8_t>& into, Deadline deadline);
  // Drops every byte received and not yet read.
  void discardInput();

  // The number for the next request; a reply must carry it back. The first is drawn at random
  // at open, so numbers from another opening of the port do not line up with this one's.
  std::uint8_t nextSequence() { return sequence_++; }

  // The deadline of the card operation under way (never() outside one): every exchange ends by
  // then, whatever its own reply timeout. Set through OperationScope.
  Deadline operationDeadline() const { return operationDeadline_; }

 private:
  friend class OperationScope;

  int fd_ = -1;
  unsigned forks_ = 0;  // forkCount() when the line was opened
  std::uint8_t sequence_ = 0;
  Deadline operationDeadline_ = Deadline::never();
};

// One driver operation on `line`: for as long as it lives, all its exchanges together end
// within `limit`, however slowly the reader answers each of them.
class OperationScope {
 public:
  explicit OperationScope(SerialLine& line, Deadline::Clock::duration limit = kOperationTimeout)
      : line_(line) {
    line_.operationDeadline_ = Deadline::after(limit);
  }
  OperationScope(const OperationScope&) = delete;
  OperationScope& operator=(const OperationScope&) = delete;
  ~OperationScope() { line_.operationDeadline_ = Deadline::never(); }

 private:
  SerialLine& line_;
};

}  // namespace keycard::link
