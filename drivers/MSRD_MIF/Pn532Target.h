// What a PN532 board's InListPassiveTarget answer says of the one type A card it listed.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace keycard::drivers {

inline constexpr std::uint8_t kPn532Target = 0x01;  // the number the board gives the one card

struct ListedTarget {
  std::uint8_t sak = 0;
  std::span<const std::uint8_t> uid;  // 4, 7 or 10 bytes, within the answer
};

// The card in an answer that lists one (NbTg 1): nothing when the answer is malformed, a UID
// length no type A card has or an answer too short for the UID it announces among it.
std::optional<ListedTarget> listedTarget(std::span<const std::uint8_t> answer);

}  // namespace keycard::drivers
