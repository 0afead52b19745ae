// Which device files the drivers accept as a port. Whoever can change a folder on the way to the
// device can point the port at a terminal of their own, take the record written and answer
// "written" for a card that stays blank; a console or the user's own terminal would be left in
// raw mode. So a port is followed the way open() follows it, and refused when:
// - a folder on the way (the port's own, every parent, the folder of every link's target)
//   belongs to anyone but root or the caller, or may be written by its group or by others;
//   a shared folder with the sticky bit (like /tmp) is accepted, but only for entries that
//   belong to root or the caller, since others may add entries there but not replace them;
// - the device is a console or a virtual terminal (/dev/tty, /dev/console, /dev/tty0 to
//   /dev/tty63), or the terminal this program runs in;
// - the device belongs to another ordinary user (uid 1000 or above, not the caller).
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

namespace keycard::link {

struct TrustedPath {
  std::string path;     // the device file, every link followed
  std::string refusal;  // why the port is not trusted; empty when it is
  int error = 0;        // errno of a step that failed (no such file, no permission), else 0
};

TrustedPath followTrusted(const std::string& path, uid_t user);

// Why `device` (its stat, at the end of a trusted path) is no port for `user`; empty when it is.
std::string deviceRefusal(const struct stat& device, uid_t user);

}  // namespace keycard::link
