#include "emulator/PseudoTerminal.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <system_error>

namespace keycard::emulator {

namespace {

std::runtime_error systemError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

void makeRaw(int fd) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) throw systemError("cannot read the pseudo-terminal's settings");
  ::cfmakeraw(&tio);
  ::cfsetspeed(&tio, B9600);
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) throw systemError("cannot make the pseudo-terminal raw");
}

}  // namespace

PseudoTerminal::PseudoTerminal() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) throw systemError("cannot create a pseudo-terminal");
  try {
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
      throw systemError("cannot unlock the pseudo-terminal");
    }
    const char* name = ::ptsname(master_);
    if (name == nullptr) throw systemError("cannot name the pseudo-terminal");
    slavePath_ = name;
    slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) throw systemError("cannot open " + slavePath_);
    // The line discipline sits on the slave side; a cooked line would mangle 0x0D and 0x03.
    makeRaw(slave_);
    makeRaw(master_);
    const int flags = ::fcntl(master_, F_GETFL);
    ::fcntl(master_, F_SETFL, flags | O_NONBLOCK);
  } catch (...) {
    hangUp();
    throw;
  }
}

PseudoTerminal::~PseudoTerminal() {
  hangUp();
}

int PseudoTerminal::unread() const {
  int count = 0;
  if (slave_ < 0 || ::ioctl(slave_, FIONREAD, &count) != 0) return 0;
  return count;
}

void PseudoTerminal::hangUp() {
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
  slave_ = master_ = -1;
}

PortLink::PortLink(std::filesystem::path link, std::filesystem::path target)
    : link_(std::move(link)), target_(std::move(target)) {
  std::error_code error;
  std::filesystem::create_directories(link_.parent_path(), error);
  if (error) {
    throw std::runtime_error("cannot create the port folder " + link_.parent_path().string() +
                             ": " + error.message());
  }
  const auto status = std::filesystem::symlink_status(link_, error);
  if (std::filesystem::exists(status) && !std::filesystem::is_symlink(status)) {
    throw std::runtime_error(link_.string() +
                             " exists and is not a link; remove it or choose another port");
  }
  // Made under another name and renamed over the old link, so a driver never finds the port gone.
  const std::filesystem::path fresh = link_.string() + ".new-" + std::to_string(::getpid());
  std::filesystem::remove(fresh, error);
  std::filesystem::create_symlink(target_, fresh, error);
  if (!error) std::filesystem::rename(fresh, link_, error);
  if (error) {
    std::filesystem::remove(fresh, error);
    throw std::runtime_error("cannot make the port link " + link_.string() + ": " +
                             error.message());
  }
}

PortLink::~PortLink() {
  remove();
}

void PortLink::remove() {
  if (link_.empty()) return;
  std::error_code error;
  // Another emulator may have taken the port over since; its link stays.
  if (std::filesystem::read_symlink(link_, error) == target_) std::filesystem::remove(link_, error);
  link_.clear();
}

}  // namespace keycard::emulator
