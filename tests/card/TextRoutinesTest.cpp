#include "card/TextRoutines.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>

namespace keycard {
namespace {

TEST(TextRoutines, HexToStrWritesCapitalDigitsOfTheFirstWrlenBytes) {
  const std::array<std::uint8_t, 5> bytes{0x00, 0x09, 0x0A, 0x9F, 0xFF};
  EXPECT_EQ(MyHexToStr(bytes, 5), u"00090A9FFF");
  EXPECT_EQ(MyHexToStr(bytes, 2), u"0009");
  EXPECT_EQ(MyHexToStr(bytes, 9), u"00090A9FFF") << "a wrlen beyond the bytes stops at their end";
  EXPECT_EQ(MyHexToStr(bytes, 0), u"");
  EXPECT_EQ(MyHexToStr(bytes, -1), u"");
}

TEST(TextRoutines, StrToByteReadsOnlyCapitalHexDigits) {
  const std::tuple<const char*, std::u16string, std::uint8_t> rows[] = {
      {"only the first two count", u"333033", 0x33},
      {"lowercase is nothing", u"ff", 0x00},
      {"bad first", u"G5", 0x05},
      {"bad second", u"5G", 0x50},
      {"neighbours of the digits", u"/:", 0x00},
      {"neighbours of the letters", u"@G", 0x00},
      {"one character", u"7", 0x70},
      // A character read by its low byte alone would pass for 'A' (0x41) and '1' (0x31).
      {"wide characters", u"\u0141\u0131", 0x00},
  };
  for (const auto& [name, text, byte] : rows) EXPECT_EQ(MyStrToByte(text), byte) << name;
}

TEST(TextRoutines, FormatKeepsSeparatorsAndWhateverDigitsExist) {
  // digits, MyFormatDate, MyFormatTime
  const std::tuple<std::u16string, std::u16string, std::u16string> rows[] = {
      {u"060718120099", u"06-07-18 12:00", u"06:07"},
      {u"06071", u"06-07-1 :", u"06:07"},
      {u"2", u"2-- :", u"2:"},
      {u"", u"-- :", u":"},
  };
  for (const auto& [digits, date, time] : rows) {
    EXPECT_EQ(MyFormatDate(digits), date);
    EXPECT_EQ(MyFormatTime(digits), time);
  }
}

}  // namespace
}  // namespace keycard
