#include "TextRoutines.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

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
  const struct {
    const char* name;
    std::u16string text;
    std::uint8_t byte;
  } rows[] = {
      {"only the first two count", u"333033", 0x33},
      {"capital letters", u"1A", 0x1A},
      {"largest", u"FF", 0xFF},
      {"lowercase is nothing", u"ff", 0x00},
      {"bad first", u"G5", 0x05},
      {"bad second", u"5G", 0x50},
      {"blanks", u"  ", 0x00},
      {"neighbours of the ranges", u"/:", 0x00},
      {"neighbours of the letters", u"@G", 0x00},
      {"one character", u"7", 0x70},
      {"empty", u"", 0x00},
      // A character read by its low byte alone would pass for 'A' (0x41) and '1' (0x31).
      {"wide characters", u"\u0141\u0131", 0x00},
  };
  for (const auto& row : rows) EXPECT_EQ(MyStrToByte(row.text), row.byte) << row.name;
}

TEST(TextRoutines, FormatKeepsSeparatorsAndWhateverDigitsExist) {
  const struct {
    std::u16string digits;
    std::u16string date;
    std::u16string time;
  } rows[] = {
      {u"0607181200", u"06-07-18 12:00", u"06:07"},
      {u"060718120099", u"06-07-18 12:00", u"06:07"},
      {u"060718", u"06-07-18 :", u"06:07"},
      {u"06071", u"06-07-1 :", u"06:07"},
      {u"2", u"2-- :", u"2:"},
      {u"", u"-- :", u":"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(MyFormatDate(row.digits), row.date);
    EXPECT_EQ(MyFormatTime(row.digits), row.time);
  }
}

}  // namespace
}  // namespace keycard
