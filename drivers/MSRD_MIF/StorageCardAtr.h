// What a contactless reader's answer-to-reset says about the card in its field. A PC/SC reader
// presents a storage card (Mifare and the like) with an ATR of its own making, whose historical
// bytes name the card's standard and kind under the PC/SC application provider A0 00 00 03 06.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace keycard::drivers {

struct StorageCard {
  std::uint8_t standard = 0;  // 0x03: ISO 14443 A part 3
  std::uint16_t name = 0;     // 0x0001: Mifare Classic 1K, 0x0002: 4K, 0x0003: Ultralight

  bool operator==(const StorageCard&) const = default;
};

inline constexpr StorageCard kMifareClassic1K{0x03, 0x0001};

// The storage card an ATR announces, or nothing for an ATR that is cut short or announces none
// (a processor card, for one).
std::optional<StorageCard> storageCardOf(std::span<const std::uint8_t> atr);

}  // namespace keycard::drivers
