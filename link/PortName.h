// Port names as operators know them ("COM1" to "COM10") and the device files behind them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace keycard::link {

// The environment variable naming a folder of port links (DIR/COM1 ...), used by the reader
// emulator and the tests; when it is unset the ports are the machine's own /dev/ttyS0 to
// /dev/ttyS9.
inline constexpr const char* kPortDirVariable = "KEYCARD_PORT_DIR";

// The drivers open "COM1" to "COM10".
inline constexpr int kLastPort = 10;

// The number of the port named `name`: "COM" and a number from 1 to `lastPort`, exactly so (no
// lower case, no leading zero); nothing for any other name. The one rule for port names: the
// reader emulator applies it with a wider `lastPort`.
std::optional<int> portNumber(std::string_view name, int lastPort = kLastPort);

// The device path of `name`, or nothing when `name` is not a port name.
std::optional<std::string> resolvePortName(std::string_view name);

}  // namespace keycard::link
