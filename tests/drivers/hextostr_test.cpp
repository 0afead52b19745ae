#include <gtest/gtest.h>

#include <string>

#include "errors.h"
#include "rfdll.h"

namespace keycard::drivers::testing {
namespace {

TEST(HexToStr, WritesTwoCapitalDigitsPerByteAndNothingMore) {
  const unsigned char bytes[] = {0x00, 0xAB, 0xFF, 0x9C};
  const struct {
    const char* name;
    const unsigned char* source;
    std::int32_t count;
    std::int32_t expectedResult;
    const char* expectedText;  // the whole buffer afterwards
  } rows[] = {
      {"four bytes", bytes, 4, 0, "00ABFF9C."},
      {"only count bytes", bytes, 1, 0, "00......."},
      {"count zero", bytes, 0, keycard::link::kErrArgument, "........."},
      {"count negative", bytes, -1, keycard::link::kErrArgument, "........."},
      {"no source", nullptr, 1, keycard::link::kErrArgument, "........."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    char text[10] = ".........";
    EXPECT_EQ(hextostr(row.source, text, row.count), row.expectedResult);
    EXPECT_EQ(std::string(text, sizeof text), std::string(row.expectedText) + '\0');
  }
  EXPECT_EQ(hextostr(bytes, nullptr, 1), keycard::link::kErrArgument);
}

}  // namespace
}  // namespace keycard::drivers::testing
