// The --log file: one line per request, reply or discarded input, written as it happens.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <string_view>

namespace keycard::emulator {

class TrafficLog {
 public:
  TrafficLog() = default;                                  // logs nothing
  explicit TrafficLog(const std::filesystem::path& file);  // throws std::runtime_error

  // "<-" for what the driver sent, "->" for what the emulator sent, "!!" for discarded input.
  void line(std::string_view direction, std::span<const std::uint8_t> bytes, std::string_view note);

 private:
  std::ofstream out_;
};

}  // namespace keycard::emulator
