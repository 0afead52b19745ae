// The serial transport: a raw 9600-baud 8N1 line over plain termios, with deadline-bound writes
// and reads. It knows nothing of frames.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace keycard::link {

class SerialLine {
 public:
  using Clock = std::chrono::steady_clock;

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

  // Opens `path` (closing any line this object held). Only a terminal device is opened: a regular
  // file or anything else is refused before it is opened for writing. On failure writes one line
  // "<caller>: cannot open <path>: <reason>" to stderr and returns kErrPort; 0 on success.
  std::int32_t open(const std::string& path, const char* caller);
  void close();
  bool isOpen() const { return fd_ >= 0; }

  IoResult writeAll(std::span<const std::uint8_t> bytes, Clock::time_point deadline);
  // Waits for bytes until `deadline` and appends whatever arrived in one read.
  IoResult readSome(std::vector<std::uint8_t>& into, Clock::time_point deadline);
  // Drops every byte received and not yet read.
  void discardInput();

 private:
  int fd_ = -1;
};

}  // namespace keycard::link
