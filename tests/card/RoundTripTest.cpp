#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "CardData.h"
#include "FieldCodecs.h"

namespace keycard {
namespace {

using CardData::CardImage;
using CardData::CardRecord;

template <std::size_t N>
void put(std::uint8_t (&field)[N], const Converted<N>& converted) {
  ASSERT_TRUE(converted.ok()) << converted.refusal;
  std::copy(converted.bytes->begin(), converted.bytes->end(), field);
}

void put(std::uint8_t& field, const Converted<1>& converted) {
  ASSERT_TRUE(converted.ok()) << converted.refusal;
  field = (*converted.bytes)[0];
}

TEST(RoundTrip, WindowStartTextsGiveTheKnownImageAndReadBack) {
  CardRecord record{};
  put(record.CardType, numberTextToByte(u"01"));
  put(record.HotelCode, hotelCodeToBytes(u"333033"));
  put(record.Area, numberTextToByte(u"01"));
  put(record.Floor, numberTextToByte(u"01"));
  put(record.Room, numberTextToByte(u"01"));
  put(record.CardSno, numberTextToByte(u"01"));
  put(record.StartDate, dateTimeToBcd(u"06-07-18 12:00"));
  put(record.EndDate, dateTimeToBcd(u"06-07-19 12:00"));
  put(record.StartTime, timeToBcd(u"00:00"));
  put(record.EndTime, timeToBcd(u"23:59"));
  put(record.FloorCnt, strictNumberTextToByte(u"00"));
  const CardImage expected{0x01, 0x33, 0x30, 0x33, 0x01, 0x01, 0x01, 0x01, 0x00, 0x06, 0x07, 0x18,
                           0x12, 0x00, 0x06, 0x07, 0x19, 0x12, 0x00, 0x00, 0x00, 0x23, 0x59, 0x00};
  ASSERT_EQ(CardData::toImage(record), expected);

  const CardRecord read = CardData::fromImage(expected);
  EXPECT_EQ(decimalDisplay(read.CardType), u"1");
  EXPECT_EQ(hotelCodeDisplay(std::span(read.HotelCode)), u"333033");
  EXPECT_EQ(decimalDisplay(read.CardSno), u"1");
  EXPECT_EQ(dateTimeDisplay(std::span(read.StartDate)), u"06-07-18 12:00");
  EXPECT_EQ(dateTimeDisplay(std::span(read.EndDate)), u"06-07-19 12:00");
  EXPECT_EQ(timeDisplay(std::span(read.StartTime)), u"00:00");
  EXPECT_EQ(timeDisplay(std::span(read.EndTime)), u"23:59");
  EXPECT_EQ(decimalDisplay(read.FloorCnt), u"0");
}

// Every field value a card can hold and the window can show survives display and conversion.
TEST(RoundTrip, EveryValidFieldValueReadsBackAsItsBytes) {
  for (int value = 0; value <= 255; ++value) {
    const auto byte = static_cast<std::uint8_t>(value);
    const std::u16string text = decimalDisplay(byte);
    EXPECT_EQ(numberTextToByte(text).bytes, std::array{byte});
    EXPECT_EQ(strictNumberTextToByte(text).bytes, std::array{byte});
    const std::array<std::uint8_t, 3> hotel{byte, static_cast<std::uint8_t>(255 - value),
                                            static_cast<std::uint8_t>(value * 7)};
    EXPECT_EQ(hotelCodeToBytes(hotelCodeDisplay(hotel)).bytes, hotel);
  }
  const auto bcd = [](int value) {
    return static_cast<std::uint8_t>(value / 10 * 16 + value % 10);
  };
  for (int hour = 0; hour < 24; ++hour) {
    for (int minute = 0; minute < 60; ++minute) {
      const std::array time{bcd(hour), bcd(minute)};
      EXPECT_EQ(timeToBcd(timeDisplay(time)).bytes, time);
    }
  }
  // Every day of the hundred years a two-digit year can name, each at some other time of day.
  int step = 0;
  for (int year = 0; year < 100; ++year) {
    for (int month = 1; month <= 12; ++month) {
      const int days = month == 2 ? (year % 4 == 0 ? 29 : 28) : 30 + (month + month / 8) % 2;
      for (int day = 1; day <= days; ++day, ++step) {
        const std::array date{bcd(year), bcd(month), bcd(day), bcd(step % 24), bcd(step * 7 % 60)};
        ASSERT_EQ(dateTimeToBcd(dateTimeDisplay(date)).bytes, date)
            << year << '-' << month << '-' << day;
      }
    }
  }
}

}  // namespace
}  // namespace keycard
