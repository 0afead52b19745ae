#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "EmulatorProcess.h"

namespace keycard::testing {

namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

RawPort::RawPort(const std::filesystem::path& device) {
  fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) {
    throw std::runtime_error("cannot open " + device.string() + ": " + std::strerror(errno));
  }
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) {
    const std::string message = "not a serial line: " + device.string();
    ::close(fd_);
    throw std::runtime_error(message);
  }
  ::cfmakeraw(&tio);
  ::cfsetspeed(&tio, B9600);
  ::tcsetattr(fd_, TCSANOW, &tio);
  ::tcflush(fd_, TCIOFLUSH);
}

RawPort::~RawPort() {
  if (fd_ >= 0) ::close(fd_);
}

void RawPort::send(std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      throw std::runtime_error(std::string("cannot write to the reader: ") + std::strerror(errno));
    }
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
}

void RawPort::sendFrame(link::Command command, std::span<const std::uint8_t> payload) {
  send(link::encodeFrame(static_cast<std::uint8_t>(command), payload));
}

std::vector<std::uint8_t> RawPort::receive(std::chrono::milliseconds quiet,
                                           std::chrono::milliseconds limit) {
  std::vector<std::uint8_t> bytes;
  const auto deadline = Clock::now() + limit;
  while (!hungUp_) {
    const int wait = std::min(static_cast<int>(quiet.count()), remainingMs(deadline));
    pollfd pfd{fd_, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, wait);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    std::uint8_t chunk[256];
    const ssize_t got = ::read(fd_, chunk, sizeof chunk);
    if (got > 0) {
      bytes.insert(bytes.end(), chunk, chunk + got);
    } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
      hungUp_ = true;  // the other side closed: 0 or EIO
    }
  }
  return bytes;
}

std::optional<link::Frame> RawPort::receiveFrame(std::chrono::milliseconds limit) {
  std::vector<std::uint8_t> bytes;
  const auto deadline = Clock::now() + limit;
  while (!hungUp_ && Clock::now() < deadline) {
    pollfd pfd{fd_, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, remainingMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    std::uint8_t chunk[256];
    const ssize_t got = ::read(fd_, chunk, sizeof chunk);
    if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) {
      hungUp_ = true;
      break;
    }
    if (got < 0) continue;
    bytes.insert(bytes.end(), chunk, chunk + got);
    const auto result = link::decodeFrame(bytes);
    if (result.status == link::DecodeStatus::Complete) return result.frame;
    if (result.status != link::DecodeStatus::NeedMore) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace keycard::testing
