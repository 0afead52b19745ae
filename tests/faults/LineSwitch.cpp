#include "LineSwitch.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

namespace keycard::testing {

namespace {

constexpr int kPollMs = 2;  // how soon a switch or a stop is noticed

[[noreturn]] void fail(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

void makeRaw(int fd) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) fail("not a terminal");
  ::cfmakeraw(&tio);
  ::tcsetattr(fd, TCSANOW, &tio);
}

int openReader(const std::filesystem::path& port) {
  const int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) fail("cannot open the reader at " + port.string());
  makeRaw(fd);
  return fd;
}

// False when the far side is gone (0 or EIO) or the write fails.
bool pass(int from, int to) {
  std::array<char, 256> chunk{};
  const ssize_t got = ::read(from, chunk.data(), chunk.size());
  if (got < 0) return errno == EINTR || errno == EAGAIN;
  if (got == 0) return false;
  for (ssize_t sent = 0; sent < got;) {
    const ssize_t written = ::write(to, chunk.data() + sent, static_cast<std::size_t>(got - sent));
    if (written < 0 && errno != EINTR && errno != EAGAIN) return false;
    if (written > 0) sent += written;
  }
  return true;
}

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

LineSwitch::LineSwitch(std::filesystem::path link, const std::filesystem::path& reader)
    : link_(std::move(link)) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    fail("cannot make a pseudo-terminal");
  }
  const char* slaveName = ::ptsname(master_);
  if (slaveName == nullptr) fail("no name for the pseudo-terminal");
  slave_ = ::open(slaveName, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) fail(std::string("cannot open ") + slaveName);
  makeRaw(slave_);
  std::filesystem::create_symlink(slaveName, link_);
  reader_ = openReader(reader);
  relay_ = std::thread([this] { relay(); });
}

LineSwitch::~LineSwitch() {
  stopping_ = true;
  relay_.join();
  closeFd(reader_);
  closeFd(slave_);
  closeFd(master_);
  const int pending = nextReader_.exchange(-1);
  if (pending >= 0) ::close(pending);
  std::error_code ignored;
  std::filesystem::remove(link_, ignored);
}

void LineSwitch::switchTo(const std::filesystem::path& reader) {
  nextReader_ = openReader(reader);
  while (nextReader_ >= 0 && !hungUp_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void LineSwitch::relay() {
  while (!stopping_) {
    if (const int next = nextReader_.exchange(-1); next >= 0) {
      closeFd(reader_);
      reader_ = next;
    }
    std::array<pollfd, 2> fds{pollfd{master_, POLLIN, 0}, pollfd{reader_, POLLIN, 0}};
    if (::poll(fds.data(), fds.size(), kPollMs) <= 0) continue;
    // The slave end is held open here, so the driver's side never goes away.
    if (fds[0].revents != 0) pass(master_, reader_);
    if (fds[1].revents != 0 && !pass(reader_, master_)) {
      // The reader hung up: so does the line, and the driver's reads now give 0 or EIO.
      closeFd(slave_);
      closeFd(master_);
      hungUp_ = true;
      return;
    }
  }
}

}  // namespace keycard::testing
