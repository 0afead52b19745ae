// The far end of a pseudo-terminal, played by the test: a reader that answers one request the
// way a test row says.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "frame.h"

namespace keycard::link::testing {

class PtyPeer {
 public:
  PtyPeer() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
      throw std::runtime_error("cannot make a pseudo-terminal");
    }
    slavePath_ = ptsname(master_);
  }
  PtyPeer(const PtyPeer&) = delete;
  PtyPeer& operator=(const PtyPeer&) = delete;
  ~PtyPeer() { hangUp(); }

  const std::string& slavePath() const { return slavePath_; }

  void send(const std::vector<std::uint8_t>& bytes) const {
    if (::write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
      throw std::runtime_error("cannot write to the pseudo-terminal");
    }
  }

  // Reads until a whole frame arrived or a second passed; the frame, or nothing.
  std::vector<std::uint8_t> receiveRequest() const {
    std::vector<std::uint8_t> received;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd watched{master_, POLLIN, 0};
      if (poll(&watched, 1, 50) <= 0) continue;
      std::uint8_t chunk[128];
      const ssize_t count = ::read(master_, chunk, sizeof chunk);
      if (count <= 0) break;
      received.insert(received.end(), chunk, chunk + count);
      if (decodeFrame(received).status == DecodeStatus::Complete) return received;
    }
    return {};
  }

  void hangUp() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slavePath_;
};

}  // namespace keycard::link::testing
