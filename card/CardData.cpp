#include "card/CardData.h"

#include <bit>
#include <type_traits>

namespace keycard::CardData {

// The drivers and the card take the record byte for byte, so its layout is fixed.
static_assert(std::is_standard_layout_v<CardRecord> && std::is_trivially_copyable_v<CardRecord>);
static_assert(sizeof(CardRecord) == kCardImageSize);
static_assert(offsetof(CardRecord, CardType) == 0);
static_assert(offsetof(CardRecord, HotelCode) == 1);
static_assert(offsetof(CardRecord, Area) == 4);
static_assert(offsetof(CardRecord, Floor) == 5);
static_assert(offsetof(CardRecord, Room) == 6);
static_assert(offsetof(CardRecord, CardSno) == 7);
static_assert(offsetof(CardRecord, DisFlag) == 8);
static_assert(offsetof(CardRecord, StartDate) == 9);
static_assert(offsetof(CardRecord, EndDate) == 14);
static_assert(offsetof(CardRecord, StartTime) == 19);
static_assert(offsetof(CardRecord, EndTime) == 21);
static_assert(offsetof(CardRecord, FloorCnt) == 23);

CardImage toImage(const CardRecord& record) {
  return std::bit_cast<CardImage>(record);
}

CardRecord fromImage(const CardImage& image) {
  return std::bit_cast<CardRecord>(image);
}

void PackCard() {
  CardBuf = toImage(CardInfo);
}

void UnpackCard() {
  CardInfo = fromImage(CardBuf);
}

}  // namespace keycard::CardData
