// The card record module: the one record, the one transfer buffer and the two reader values
// that live for the whole run, and the copies between record and buffer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace keycard::CardData {

// The drivers read and write exactly this many bytes of the buffer.
inline constexpr std::size_t kCardImageSize = 24;

// The 24-byte card image, field by field, exactly as it lies on a key card.
struct CardRecord {
  std::uint8_t CardType;
  std::uint8_t HotelCode[3];
  std::uint8_t Area;
  std::uint8_t Floor;
  std::uint8_t Room;
  std::uint8_t CardSno;
  std::uint8_t DisFlag;
  std::uint8_t StartDate[5];  // packed BCD: year (last two digits), month, day, hour, minute
  std::uint8_t EndDate[5];
  std::uint8_t StartTime[2];  // packed BCD: hour, minute
  std::uint8_t EndTime[2];
  std::uint8_t FloorCnt;
};

using CardImage = std::array<std::uint8_t, kCardImageSize>;

// Module data, zero at start.
inline CardRecord CardInfo{};
inline CardImage CardBuf{};
inline std::int32_t CommHandle = 0;
inline std::int32_t DevHandle = 0;

// CardInfo -> CardBuf, byte i to byte i.
void PackCard();
// CardBuf -> CardInfo, byte i to byte i.
void UnpackCard();

// The record as an image and back, for callers that hold a record of their own.
CardImage toImage(const CardRecord& record);
CardRecord fromImage(const CardImage& image);

}  // namespace keycard::CardData
