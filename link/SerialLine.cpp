#include "link/SerialLine.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>

#include "link/Errors.h"
#include "link/PortTrust.h"

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

constexpr char kInUse[] = "the port is in use by another program";

speed_t speedFor(unsigned baud) {
  return baud == kPn532BaudRate ? B115200 : B9600;
}

bool configureRaw(int fd, speed_t speed) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) return false;
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS);
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  // VMIN 1 keeps read() from returning 0 on an idle line, so 0 always means a hang-up.
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  if (cfsetispeed(&settings, speed) != 0 || cfsetospeed(&settings, speed) != 0) return false;
  if (tcsetattr(fd, TCSANOW, &settings) != 0) return false;
  tcflush(fd, TCIOFLUSH);
  return true;
}

// Waits for `events` on `fd`. Ok when ready (or when the line reports a hang-up or an error,
// which the following read or write then tells apart), Timeout after the deadline.
SerialLine::IoResult waitFor(int fd, short events, Deadline deadline) {
  for (;;) {
    pollfd watched{fd, events, 0};
    const int ready = poll(&watched, 1, deadline.pollTimeout());
    if (ready > 0) return SerialLine::IoResult::Ok;
    if (ready == 0 && deadline.passed()) return SerialLine::IoResult::Timeout;
    if (ready < 0 && errno != EINTR) return SerialLine::IoResult::Failed;
  }
}

// Pseudo-terminal slaves (Unix98: majors 136 to 143) keep the exclusive mode after the last
// close for as long as their master is open, so a driver killed while holding an emulated port
// would lock it until the emulator restarts. The advisory lock dies with its holder.
bool isPseudoTerminal(const struct stat& device) {
  constexpr unsigned kFirstMajor = 136;
  constexpr unsigned kLastMajor = 143;
  return major(device.st_rdev) >= kFirstMajor && major(device.st_rdev) <= kLastMajor;
}

// Holds the port alone: an advisory lock every driver takes, and on real serial devices the
// terminal's exclusive mode, which keeps out programs that know nothing of the lock.
bool holdAlone(int fd, const struct stat& device) {
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return false;
  return isPseudoTerminal(device) || ioctl(fd, TIOCEXCL) == 0;
}

// How many forks lie between this process and the one the library was loaded in: a child's count
// differs from the one its parent saw when it opened a line. Kept by a fork handler, so asking
// costs no system call on every exchange (getpid() would, about 0.5 µs each).
std::atomic<unsigned> forks{0};

unsigned forkCount() {
  static const bool counting =
      pthread_atfork(nullptr, nullptr, [] { forks.fetch_add(1, std::memory_order_relaxed); }) == 0;
  static_cast<void>(counting);
  return forks.load(std::memory_order_relaxed);
}

std::uint8_t randomSequence() {
  return static_cast<std::uint8_t>(std::random_device{}());
}

}  // namespace

SerialLine::SerialLine(SerialLine&& other) noexcept {
  *this = std::move(other);
}

SerialLine& SerialLine::operator=(SerialLine&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    forks_ = other.forks_;
    sequence_ = other.sequence_;
    operationDeadline_ = std::exchange(other.operationDeadline_, Deadline::never());
  }
  return *this;
}

SerialLine::~SerialLine() {
  close();
}

std::int32_t SerialLine::open(const std::string& path, const char* caller, unsigned baud) {
  close();
  const TrustedPath device = followTrusted(path, geteuid());
  if (device.error != 0) {
    return reportOpenFailure(caller, path, std::strerror(device.error),
                             permissionHint(device.error));
  }
  if (!device.refusal.empty()) return reportOpenFailure(caller, path, device.refusal.c_str());
  struct stat before {};
  if (stat(device.path.c_str(), &before) != 0) {
    const int error = errno;
    return reportOpenFailure(caller, path, std::strerror(error), permissionHint(error));
  }
  if (!S_ISCHR(before.st_mode)) return reportOpenFailure(caller, path, "not a serial device");
  if (const std::string refusal = deviceRefusal(before, geteuid()); !refusal.empty()) {
    return reportOpenFailure(caller, path, refusal.c_str());
  }

  const int fd = ::open(device.path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    const int error = errno;
    // EBUSY: another program holds the terminal's exclusive mode.
    return reportOpenFailure(caller, path, error == EBUSY ? kInUse : std::strerror(error),
                             permissionHint(error));
  }
  // The path may have been swapped between stat and open.
  struct stat after {};
  if (fstat(fd, &after) != 0 || !S_ISCHR(after.st_mode) || after.st_rdev != before.st_rdev) {
    ::close(fd);
    return reportOpenFailure(caller, path, "not a serial device");
  }
  // Before any setting changes: the port's settings belong to whoever holds it.
  if (!holdAlone(fd, after)) {
    const int error = errno;
    ::close(fd);
    return reportOpenFailure(caller, path,
                             error == EWOULDBLOCK || error == EBUSY ? kInUse
                             : error == ENOTTY                      ? "not a serial device"
                                                                    : std::strerror(error));
  }
  if (!configureRaw(fd, speedFor(baud))) {
    const int error = errno;
    ::close(fd);
    return reportOpenFailure(caller, path,
                             error == ENOTTY ? "not a serial device" : std::strerror(error));
  }
  fd_ = fd;
  forks_ = forkCount();
  sequence_ = randomSequence();
  return 0;
}

void SerialLine::close() {
  if (fd_ >= 0) {
    // Closing the last descriptor ends the lock and, on a real device, the exclusive mode.
    ::close(fd_);
    fd_ = -1;
  }
}

bool SerialLine::isOpen() const {
  return fd_ >= 0 && forks_ == forkCount();
}

SerialLine::IoResult SerialLine::writeAll(std::span<const std::uint8_t> bytes, Deadline deadline) {
  if (!isOpen()) return IoResult::Failed;
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

SerialLine::IoResult SerialLine::readSome(std::vector<std::uint8_t>& into, Deadline deadline) {
  if (!isOpen()) return IoResult::Failed;
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
  if (isOpen()) tcflush(fd_, TCIFLUSH);
}

}  // namespace keycard::link
