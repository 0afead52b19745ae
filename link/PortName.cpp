#include "link/PortName.h"

#include <cstdlib>

#include "link/DecimalNumber.h"

namespace keycard::link {

std::optional<int> portNumber(std::string_view name, int lastPort) {
  constexpr std::string_view kPrefix = "COM";
  if (!name.starts_with(kPrefix)) return std::nullopt;
  const std::string_view digits = name.substr(kPrefix.size());
  if (digits.starts_with('0')) return std::nullopt;
  const std::optional<int> number = parseDecimal<int>(digits);
  if (!number || *number < 1 || *number > lastPort) return std::nullopt;
  return number;
}

std::optional<std::string> resolvePortName(std::string_view name) {
  const std::optional<int> number = portNumber(name);
  if (!number) return std::nullopt;
  const char* folder = std::getenv(kPortDirVariable);
  if (folder != nullptr && *folder != '\0') {
    return std::string(folder) + "/COM" + std::to_string(*number);
  }
  return "/dev/ttyS" + std::to_string(*number - 1);
}

}  // namespace keycard::link
