#include "emulator/TrafficLog.h"

#include <chrono>
#include <ctime>
#include <iomanip>
#include <stdexcept>

#include "emulator/Card.h"

namespace keycard::emulator {

namespace {

std::string timestamp() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  ::localtime_r(&seconds, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  char withMillis[40];
  std::snprintf(withMillis, sizeof withMillis, "%s.%03d", text, static_cast<int>(millis));
  return withMillis;
}

}  // namespace

TrafficLog::TrafficLog(const std::filesystem::path& file) : out_(file, std::ios::app) {
  if (!out_) throw std::runtime_error("cannot open the log file " + file.string());
}

void TrafficLog::line(std::string_view direction, std::span<const std::uint8_t> bytes,
                      std::string_view note) {
  if (!out_.is_open()) return;
  out_ << timestamp() << ' ' << direction << ' ';
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    out_ << (i == 0 ? "" : " ") << toHex(bytes.subspan(i, 1));
  }
  out_ << "  " << note << std::endl;  // flushed: the log is read while the emulator runs
}

}  // namespace keycard::emulator
