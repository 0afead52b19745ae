// The link DIR/COMn through which drivers find an emulator's line (DIR/COM1 -> /dev/pts/N).
#pragma once

#include <filesystem>
#include <iosfwd>

namespace keycard::emulator {

// Made only where it harms nothing: no link yet, or a dangling one, which is replaced. Anything
// else at that path (a file, a link to a device or to another program's terminal) is refused.
// Links in DIR that lead to the line itself were left by emulators that died while the line was
// theirs; they are removed first (each told on `notes`), so that no other port name leads here.
class PortLink {
 public:
  PortLink(std::filesystem::path link, std::filesystem::path line,
           std::ostream& notes);  // throws std::runtime_error
  PortLink(const PortLink&) = delete;
  PortLink& operator=(const PortLink&) = delete;
  ~PortLink();

  const std::filesystem::path& path() const { return link_; }
  // Removes the link if it still leads to the line.
  void remove();

 private:
  std::filesystem::path link_;
  std::filesystem::path line_;
};

}  // namespace keycard::emulator
