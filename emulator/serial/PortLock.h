// The lock an emulator holds on its port while it serves it: `DIR/COMn.lock`, beside the link.
// A second emulator on that port finds it locked and refuses to start; the kernel lets go of the
// lock when its holder dies, however it dies, so a killed emulator never blocks the port.
#pragma once

#include <filesystem>

namespace keycard::emulator {

class PortLock {
 public:
  // Makes the port folder if need be. Throws std::runtime_error, saying who holds the port when
  // another emulator does.
  explicit PortLock(const std::filesystem::path& link);
  PortLock(const PortLock&) = delete;
  PortLock& operator=(const PortLock&) = delete;
  ~PortLock();  // removes the lock file, then lets go of it

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  int fd_ = -1;
};

}  // namespace keycard::emulator
