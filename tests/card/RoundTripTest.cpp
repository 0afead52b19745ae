#include <gtest/gtest.h>

#include <array>
#include <string>

#include "card/CardData.h"
#include "card/FieldCodecs.h"
#include "tests/support/WorkedRecord.h"

namespace keycard {
namespace {

using CardData::CardImage;
using CardData::CardRecord;

// The window's start texts write this image; read back, it shows them again.
TEST(RoundTrip, TheWorkedImageFillsTheRecordsFieldsAndComesBack) {
  const CardImage image = testing::kWorkedRecord;
  const CardRecord r = CardData::fromImage(image);
  EXPECT_EQ(CardData::toImage(r), image);
  std::u16string shown;
  for (const std::u16string& text :
       {decimalDisplay(r.CardType), hotelCodeDisplay(r.HotelCode), decimalDisplay(r.Area),
        decimalDisplay(r.Floor), decimalDisplay(r.Room), decimalDisplay(r.CardSno),
        decimalDisplay(r.DisFlag), dateTimeDisplay(r.StartDate), dateTimeDisplay(r.EndDate),
        timeDisplay(r.StartTime), timeDisplay(r.EndTime), decimalDisplay(r.FloorCnt)}) {
    shown += text + u"|";
  }
  EXPECT_EQ(shown, u"1|333033|1|1|1|1|0|06-07-18 12:00|06-07-19 12:00|00:00|23:59|0|");
}

// Every field value a card can hold and the window can show survives display and conversion.
TEST(RoundTrip, EveryValidFieldValueReadsBackAsItsBytes) {
  for (int value = 0; value <= 255; ++value) {
    const auto byte = static_cast<std::uint8_t>(value);
    EXPECT_EQ(numberTextToByte(decimalDisplay(byte)).bytes, std::array{byte});
    EXPECT_EQ(strictNumberTextToByte(decimalDisplay(byte)).bytes, std::array{byte});
    const std::array<std::uint8_t, 3> hotel{byte, static_cast<std::uint8_t>(255 - value),
                                            static_cast<std::uint8_t>(value * 7)};
    EXPECT_EQ(hotelCodeToBytes(hotelCodeDisplay(hotel)).bytes, hotel);
  }
  const auto bcd = [](int value) {
    return static_cast<std::uint8_t>(value / 10 * 16 + value % 10);
  };
  // Every day of the hundred years a two-digit year can name, each at some other time of day.
  int step = 0;
  for (int year = 0; year < 100; ++year) {
    for (int month = 1; month <= 12; ++month) {
      const int days = month == 2 ? (year % 4 == 0 ? 29 : 28) : 30 + (month + month / 8) % 2;
      for (int day = 1; day <= days; ++day, ++step) {
        const std::array date{bcd(year), bcd(month), bcd(day), bcd(step % 24), bcd(step * 7 % 60)};
        ASSERT_EQ(dateTimeToBcd(dateTimeDisplay(date)).bytes, date)
            << year << '-' << month << '-' << day;
        const std::array time{date[3], date[4]};
        ASSERT_EQ(timeToBcd(timeDisplay(time)).bytes, time);
      }
    }
  }
}

}  // namespace
}  // namespace keycard
