#include "drivers/MSRD_MIF/ClassicCompatible.h"

#include <algorithm>
#include <array>

namespace keycard::drivers {

namespace {

constexpr std::uint8_t kIso14443APart3 = 0x03;
// The card-name byte readers put before a SAK they have no name for.
constexpr std::uint8_t kNamedBySak = 0xFF;

}  // namespace

bool isClassicCompatibleSak(std::uint8_t sak) {
  constexpr std::array<std::uint8_t, 4> kSaks = {0x08, 0x18, 0x09, 0x88};
  return std::ranges::find(kSaks, sak) != kSaks.end();
}

bool isClassicCompatible(const StorageCard& card) {
  if (card.standard != kIso14443APart3) return false;
  if (card.name >> 8 == kNamedBySak)
    return isClassicCompatibleSak(static_cast<std::uint8_t>(card.name));
  constexpr std::array<std::uint16_t, 5> kNames = {0x0001, 0x0002, 0x0026, 0x0036, 0x0037};
  return std::ranges::find(kNames, card.name) != kNames.end();
}

}  // namespace keycard::drivers
