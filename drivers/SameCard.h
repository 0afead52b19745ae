// A write is done only on the card it began on. Cards lying side by side on a reader, or one put
// down as another is lifted, would otherwise let the read-back vouch for a card that was never
// fully written.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>

#include "drivers/DriverApi.h"
#include "link/Errors.h"

namespace keycard::drivers {

inline std::string uidText(std::span<const std::uint8_t> uid) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (const std::uint8_t byte : uid) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0x0F]);
  }
  return text.empty() ? "(none)" : text;
}

// 0 when the read-back selected the card the write selected; otherwise kErrVerify with one line
// on stderr naming both cards.
inline std::int32_t checkSameCard(const char* caller, std::span<const std::uint8_t> written,
                                  std::span<const std::uint8_t> readBack) {
  if (std::ranges::equal(written, readBack)) return 0;
  return refuse(link::kErrVerify, caller,
                "the write began on card %s but read back card %s: another card came into the "
                "field, so the write is not done (lay one card on the reader and write again)",
                uidText(written).c_str(), uidText(readBack).c_str());
}

}  // namespace keycard::drivers
