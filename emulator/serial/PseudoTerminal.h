// The emulated serial line: a pseudo-terminal whose slave side the drivers open through a link
// named like a serial port (DIR/COM1 -> /dev/pts/N).
#pragma once

#include <string>

namespace keycard::emulator {

class PseudoTerminal {
 public:
  PseudoTerminal();  // throws std::runtime_error
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;
  ~PseudoTerminal();

  int master() const { return master_; }
  const std::string& slavePath() const { return slavePath_; }
  // Bytes written to the line that the client has not read yet.
  int unread() const;
  // Clears `mask` in the line's input flags (c_iflag); whether any of its bits were set.
  bool clearInputFlags(unsigned long mask);
  // Ends the line: the client's reads then fail or return 0.
  void hangUp();

 private:
  int master_ = -1;
  // Held open so that the line stays up while no driver has it open; without it the master
  // reports a hang-up every time a driver closes its port.
  int slave_ = -1;
  std::string slavePath_;
};

}  // namespace keycard::emulator
