// The far end of a pseudo-terminal, played by a test: the reader or board a line talks to, or a
// device a port may lead to.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

namespace keycard::testing {

class FarEnd {
 public:
  FarEnd() : fd_(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    if (fd_ >= 0 && grantpt(fd_) == 0 && unlockpt(fd_) == 0) path_ = ptsname(fd_);
  }
  FarEnd(const FarEnd&) = delete;
  FarEnd& operator=(const FarEnd&) = delete;
  ~FarEnd() { ::close(fd_); }

  // The terminal's path for the near end; empty when none could be had.
  const std::string& path() const { return path_; }

  void send(const std::vector<std::uint8_t>& bytes) const {
    if (!bytes.empty()) {
      EXPECT_EQ(::write(fd_, bytes.data(), bytes.size()), std::ssize(bytes));
    }
  }

  // What the near end wrote, up to `most` bytes, once anything came within `waitMs`.
  std::vector<std::uint8_t> receive(int waitMs, std::size_t most = 256) const {
    std::vector<std::uint8_t> bytes(most);
    pollfd in{fd_, POLLIN, 0};
    const ssize_t got = ::poll(&in, 1, waitMs) > 0 ? ::read(fd_, bytes.data(), most) : 0;
    bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return bytes;
  }

 private:
  int fd_;
  std::string path_;
};

}  // namespace keycard::testing
