#include "emulator/serial/PseudoTerminal.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

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

bool PseudoTerminal::clearInputFlags(unsigned long mask) {
  termios tio{};
  if (slave_ < 0 || ::tcgetattr(slave_, &tio) != 0 || (tio.c_iflag & mask) == 0) return false;
  tio.c_iflag &= ~static_cast<tcflag_t>(mask);
  return ::tcsetattr(slave_, TCSANOW, &tio) == 0;
}

void PseudoTerminal::hangUp() {
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
  slave_ = master_ = -1;
}

}  // namespace keycard::emulator
