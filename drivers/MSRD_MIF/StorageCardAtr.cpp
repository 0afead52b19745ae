#include "drivers/MSRD_MIF/StorageCardAtr.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>

namespace keycard::drivers {

namespace {

// The historical bytes: after TS, T0 and the interface bytes, T0's low nibble of them.
std::optional<std::span<const std::uint8_t>> historicalBytes(std::span<const std::uint8_t> atr) {
  if (atr.size() < 2) return std::nullopt;
  const std::size_t count = atr[1] & 0x0F;
  std::size_t at = 2;
  std::uint8_t indicator = atr[1];  // T0, then each TDi: its high nibble says which bytes follow
  while (true) {
    at += static_cast<std::size_t>(std::popcount(static_cast<unsigned>(indicator >> 4)));
    if ((indicator & 0x80) == 0) break;
    if (at > atr.size()) return std::nullopt;
    indicator = atr[at - 1];  // TDi is the last of the bytes it follows
  }
  if (at + count > atr.size()) return std::nullopt;
  return atr.subspan(at, count);
}

}  // namespace

std::optional<StorageCard> storageCardOf(std::span<const std::uint8_t> atr) {
  // Category 0x80, then tag 0x4F and the length of the identifier: the provider's five bytes,
  // the standard, the two-byte card name, and reserved bytes.
  constexpr std::array<std::uint8_t, 5> kProvider = {0xA0, 0x00, 0x00, 0x03, 0x06};
  constexpr std::size_t kIdentifierAt = 3;
  constexpr std::size_t kLeast = kIdentifierAt + kProvider.size() + 3;
  const auto historical = historicalBytes(atr);
  if (!historical || historical->size() < kLeast) return std::nullopt;
  const std::span<const std::uint8_t> bytes = *historical;
  if (bytes[0] != 0x80 || bytes[1] != 0x4F || bytes[2] + kIdentifierAt > bytes.size() ||
      bytes[2] < kLeast - kIdentifierAt ||
      !std::equal(kProvider.begin(), kProvider.end(), bytes.begin() + kIdentifierAt)) {
    return std::nullopt;
  }
  const std::size_t after = kIdentifierAt + kProvider.size();
  return StorageCard{bytes[after],
                     static_cast<std::uint16_t>(bytes[after + 1] << 8 | bytes[after + 2])};
}

}  // namespace keycard::drivers
