#include <gtest/gtest.h>

#include <string>

#include "drivers/rfdll/rfdll.h"
#include "link/Errors.h"

namespace keycard::drivers::testing {
namespace {

using keycard::link::kErrArgument;

TEST(HexToStr, WritesTwoCapitalDigitsPerByteAndNothingMore) {
  const unsigned char bytes[] = {0x00, 0xAB, 0xFF, 0x9C};
  char text[10] = ".........";
  EXPECT_EQ(hextostr(bytes, text, 4), 0);
  EXPECT_EQ(std::string(text), "00ABFF9C.");  // no terminator of its own
  for (std::int32_t count : {0, -1}) EXPECT_EQ(hextostr(bytes, text, count), kErrArgument);
  EXPECT_EQ(hextostr(nullptr, text, 1), kErrArgument);
  EXPECT_EQ(hextostr(bytes, nullptr, 1), kErrArgument);
  EXPECT_EQ(std::string(text), "00ABFF9C.");  // the refusals wrote nothing
}

}  // namespace
}  // namespace keycard::drivers::testing
