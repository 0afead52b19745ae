#include "emulator/TrafficLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <string>
#include <utility>

#include "emulator/card/Card.h"

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

TrafficLog::TrafficLog(const std::filesystem::path& file) {
  // O_NONBLOCK: opening a FIFO would otherwise wait for a reader.
  fd_ =
      ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  if (fd_ < 0) {
    throw std::runtime_error("cannot open the log file " + file.string() + ": " +
                             std::strerror(errno));
  }
  struct stat opened {};
  if (::fstat(fd_, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    ::close(fd_);
    throw std::runtime_error("the log file " + file.string() + " is not a regular file");
  }
}

TrafficLog::TrafficLog(TrafficLog&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

TrafficLog& TrafficLog::operator=(TrafficLog&& other) noexcept {
  std::swap(fd_, other.fd_);
  return *this;
}

TrafficLog::~TrafficLog() {
  if (fd_ >= 0) ::close(fd_);
}

void TrafficLog::line(std::string_view direction, std::span<const std::uint8_t> bytes,
                      std::string_view note) {
  if (fd_ < 0) return;
  std::string text = timestamp() + ' ' + std::string(direction) + ' ';
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i != 0) text += ' ';
    text += toHex(bytes.subspan(i, 1));
  }
  text += "  " + std::string(note) + '\n';
  // One write of the whole line, at once: the log is read while the emulator runs. A line the
  // disk has no room for is lost; the emulator goes on.
  while (::write(fd_, text.data(), text.size()) < 0 && errno == EINTR) {
  }
}

}  // namespace keycard::emulator
