#include "emulator/pcsc/VpcdMessages.h"

#include <algorithm>

namespace keycard::emulator {

namespace {
constexpr std::size_t kLengthBytes = 2;
}

std::optional<std::vector<std::uint8_t>> takeVpcdMessage(std::vector<std::uint8_t>& input) {
  if (input.size() < kLengthBytes) return std::nullopt;
  const std::size_t length = static_cast<std::size_t>(input[0]) << 8 | input[1];
  if (input.size() < kLengthBytes + length) return std::nullopt;
  const auto begin = input.begin() + kLengthBytes;
  const auto end = begin + static_cast<std::ptrdiff_t>(length);
  std::vector<std::uint8_t> payload(begin, end);
  input.erase(input.begin(), end);
  return payload;
}

std::vector<std::uint8_t> vpcdMessage(std::span<const std::uint8_t> payload) {
  std::vector<std::uint8_t> message(kLengthBytes + payload.size());
  message[0] = static_cast<std::uint8_t>(payload.size() >> 8);
  message[1] = static_cast<std::uint8_t>(payload.size());
  std::ranges::copy(payload, message.begin() + kLengthBytes);
  return message;
}

}  // namespace keycard::emulator
