// The --log file: one line per request, reply or discarded input, written as it happens.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

namespace keycard::emulator {

class TrafficLog {
 public:
  TrafficLog() = default;  // logs nothing
  // Appends to `file`, which must be a regular file (or not exist yet): a FIFO or a terminal could
  // make the emulator wait where nothing ends it. Throws std::runtime_error.
  explicit TrafficLog(const std::filesystem::path& file);
  TrafficLog(TrafficLog&& other) noexcept;
  TrafficLog& operator=(TrafficLog&& other) noexcept;
  ~TrafficLog();

  // "<-" for what the driver sent, "->" for what the emulator sent, "!!" for discarded input.
  void line(std::string_view direction, std::span<const std::uint8_t> bytes, std::string_view note);

 private:
  int fd_ = -1;
};

}  // namespace keycard::emulator
