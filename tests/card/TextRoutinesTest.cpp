#include "card/TextRoutines.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace keycard {
namespace {

// The hex and date texts a card read shows are checked through the window (tests/ui).
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

}  // namespace
}  // namespace keycard
