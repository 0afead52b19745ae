#include "drivers/MSRD_MIF/Pn532Target.h"

namespace keycard::drivers {

std::optional<ListedTarget> listedTarget(std::span<const std::uint8_t> answer) {
  // NbTg, Tg, ATQA (2), SAK, UID length, UID, and for an ISO 14443-4 card its ATS.
  constexpr std::size_t kUidAt = 6;
  if (answer.size() < kUidAt || answer[0] != 1 || answer[1] != kPn532Target) return std::nullopt;
  const std::uint8_t uidLength = answer[5];
  if ((uidLength != 4 && uidLength != 7 && uidLength != 10) || answer.size() < kUidAt + uidLength) {
    return std::nullopt;
  }
  return ListedTarget{answer[4], answer.subspan(kUidAt, uidLength)};
}

}  // namespace keycard::drivers
