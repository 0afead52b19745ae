#include "link/PortName.h"

#include <cstdlib>

namespace keycard::link {

namespace {
constexpr int kFirstPort = 1;
constexpr int kLastPort = 10;
}  // namespace

std::optional<int> portNumber(std::string_view name) {
  constexpr std::string_view kPrefix = "COM";
  if (!name.starts_with(kPrefix)) return std::nullopt;
  const std::string_view digits = name.substr(kPrefix.size());
  if (digits.empty() || digits.size() > 2 || digits.front() == '0') return std::nullopt;
  int number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + (c - '0');
  }
  if (number < kFirstPort || number > kLastPort) return std::nullopt;
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
