#include "emulator/serial/PortLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace keycard::emulator {

namespace {

std::runtime_error systemError(const std::string& what, const std::filesystem::path& path) {
  return std::runtime_error(what + " " + path.string() + ": " + std::strerror(errno));
}

// The process id the holder wrote into the lock file, as text; empty when there is none yet.
std::string holderOf(int fd) {
  char text[24] = {};
  const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
  std::string holder(text, got > 0 ? static_cast<std::size_t>(got) : 0);
  while (!holder.empty() && (holder.back() == '\n' || holder.back() == ' ')) holder.pop_back();
  return holder;
}

}  // namespace

PortLock::PortLock(const std::filesystem::path& link) : path_(link.string() + ".lock") {
  std::error_code error;
  std::filesystem::create_directories(link.parent_path(), error);
  if (error) {
    throw std::runtime_error("cannot create the port folder " + link.parent_path().string() + ": " +
                             error.message());
  }
  for (;;) {
    // O_NONBLOCK and O_NOFOLLOW: whatever someone put there, opening it neither waits nor leads
    // elsewhere.
    const int fd = ::open(path_.c_str(),
                          O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW, 0644);
    if (fd < 0) throw systemError("cannot open the lock file", path_);
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
      ::close(fd);
      throw std::runtime_error(path_.string() + " is not a regular file; remove it to serve " +
                               link.filename().string());
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int lockError = errno;
      const std::string holder = holderOf(fd);
      ::close(fd);
      if (lockError != EWOULDBLOCK) {
        errno = lockError;
        throw systemError("cannot lock", path_);
      }
      throw std::runtime_error(link.filename().string() + " is already served by another emulator" +
                               (holder.empty() ? "" : " (process " + holder + ")") +
                               "; stop it or choose another port");
    }
    // Its last holder may have removed the file between our open and our lock; then the lock is
    // on a file nobody else will find.
    struct stat named {};
    if (::stat(path_.c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
        named.st_ino == opened.st_ino) {
      fd_ = fd;
      break;
    }
    ::close(fd);
  }
  // The process id only makes a second emulator's message more helpful: no reason to stop.
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd_, 0) == 0) {
    [[maybe_unused]] const ssize_t written = ::pwrite(fd_, pid.data(), pid.size(), 0);
  }
}

PortLock::~PortLock() {
  ::unlink(path_.c_str());
  ::close(fd_);
}

}  // namespace keycard::emulator
