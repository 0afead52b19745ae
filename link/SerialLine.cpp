#include "link/SerialLine.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "link/Errors.h"

namespace keycard::link {

namespace {

std::int32_t reportOpenFailure(const char* caller, const std::string& path, const char* reason,
                               const char* hint = "") {
  std::fprintf(stderr, "%s: cannot open %s: %s%s\n", caller, path.c_str(), reason, hint);
  return kErrPort;
}

const char* permissionHint(int error) {
  return error == EACCES || error == EPERM ? " (add yourself to the dialout group)" : "";
}

bool configureRaw(int fd) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) return false;
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS);
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  // VMIN 1 keeps read() from returning 0 on an idle line, so 0 always means a hang-up.
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  if (cfsetispeed(&settings, B9600) != 0 || cfsetospeed(&settings, B9600) != 0) return false;
  if (tcsetattr(fd, TCSANOW, &settings) != 0) return false;
  tcflush(fd, TCIOFLUSH);
  return true;
}

// Milliseconds left until `deadline`, rounded up so a poll never wakes just before it.
int millisecondsUntil(SerialLine::Clock::time_point deadline) {
  const auto left = deadline - SerialLine::Clock::now();
  if (left <= SerialLine::Clock::duration::zero()) return 0;
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

// Waits for `events` on `fd`. Ok when ready (or when the line reports a hang-up or an error,
// which the following read or write then tells apart), Timeout after the deadline.
SerialLine::IoResult waitFor(int fd, short events, SerialLine::Clock::time_point deadline) {
  for (;;) {
    pollfd watched{fd, events, 0};
    const int ready = poll(&watched, 1, millisecondsUntil(deadline));
    if (ready > 0) return SerialLine::IoResult::Ok;
    if (ready == 0) return SerialLine::IoResult::Timeout;
    if (errno != EINTR) return SerialLine::IoResult::Failed;
  }
}

}  // namespace

SerialLine::SerialLine(SerialLine&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

SerialLine& SerialLine::operator=(SerialLine&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

SerialLine::~SerialLine() {
  close();
}

std::int32_t SerialLine::open(const std::string& path, const char* caller) {
  close();
  struct stat before {};
  if (stat(path.c_str(), &before) != 0) {
    const int error = errno;
    return reportOpenFailure(caller, path, std::strerror(error), permissionHint(error));
  }
  if (!S_ISCHR(before.st_mode)) return reportOpenFailure(caller, path, "not a serial device");

  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    const int error = errno;
    return reportOpenFailure(caller, path, std::strerror(error), permissionHint(error));
  }
  // The path may have been swapped between stat and open.
  struct stat after {};
  if (fstat(fd, &after) != 0 || !S_ISCHR(after.st_mode) || after.st_rdev != before.st_rdev) {
    ::close(fd);
    return reportOpenFailure(caller, path, "not a serial device");
  }
  if (!configureRaw(fd)) {
    const int error = errno;
    ::close(fd);
    return reportOpenFailure(caller, path,
                             error == ENOTTY ? "not a serial device" : std::strerror(error));
  }
  fd_ = fd;
  return 0;
}

void SerialLine::close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

SerialLine::IoResult SerialLine::writeAll(std::span<const std::uint8_t> bytes,
                                          Clock::time_point deadline) {
  if (fd_ < 0) return IoResult::Failed;
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written > 0) {
      bytes = bytes.subspan(static_cast<std::size_t>(written));
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno == EAGAIN) {
      const IoResult waited = waitFor(fd_, POLLOUT, deadline);
      if (waited != IoResult::Ok) return waited;
      continue;
    }
    return written < 0 && errno == EIO ? IoResult::HangUp : IoResult::Failed;
  }
  return IoResult::Ok;
}

SerialLine::IoResult SerialLine::readSome(std::vector<std::uint8_t>& into,
                                          Clock::time_point deadline) {
  if (fd_ < 0) return IoResult::Failed;
  std::uint8_t chunk[256];
  for (;;) {
    const IoResult waited = waitFor(fd_, POLLIN, deadline);
    if (waited != IoResult::Ok) return waited;
    const ssize_t received = ::read(fd_, chunk, sizeof chunk);
    if (received > 0) {
      into.insert(into.end(), chunk, chunk + received);
      return IoResult::Ok;
    }
    if (received == 0) return IoResult::HangUp;
    if (errno == EINTR || errno == EAGAIN) continue;
    return errno == EIO ? IoResult::HangUp : IoResult::Failed;
  }
}

void SerialLine::discardInput() {
  if (fd_ >= 0) tcflush(fd_, TCIFLUSH);
}

}  // namespace keycard::link
