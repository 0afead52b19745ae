#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "errors.h"
#include "rfdll.h"

namespace keycard::drivers::testing {
namespace {

struct HexCase {
  const char* name;
  std::vector<unsigned char> bytes;  // empty: a null pointer
  std::int32_t count;
  std::int32_t expectedResult;
  std::string expectedText;  // the whole 8-character buffer afterwards
  friend void PrintTo(const HexCase& row, std::ostream* out) { *out << row.name; }
};

class HexToStr : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexToStr, WritesTwoCapitalDigitsPerByteAndNothingMore) {
  const HexCase& row = GetParam();
  char text[9] = "........";
  EXPECT_EQ(hextostr(row.bytes.empty() ? nullptr : row.bytes.data(), text, row.count),
            row.expectedResult);
  EXPECT_EQ(std::string(text, 9), row.expectedText + '\0');
}

constexpr std::int32_t kRefused = keycard::link::kErrArgument;

INSTANTIATE_TEST_SUITE_P(
    Rows, HexToStr,
    ::testing::Values(HexCase{"HotelCode", {0x33, 0x30, 0x33}, 3, 0, "333033.."},
                      HexCase{"CapitalsAndZeros", {0x00, 0xAB, 0xFF, 0x9C}, 4, 0, "00ABFF9C"},
                      HexCase{"OnlyCountBytes", {0x12, 0x34, 0x56}, 1, 0, "12......"},
                      HexCase{"CountZero", {0x12}, 0, kRefused, "........"},
                      HexCase{"CountNegative", {0x12}, -1, kRefused, "........"},
                      HexCase{"NullSource", {}, 1, kRefused, "........"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(HexToStrArguments, NullTextIsRefused) {
  const unsigned char bytes[] = {0x12};
  EXPECT_EQ(hextostr(bytes, nullptr, 1), kRefused);
}

}  // namespace
}  // namespace keycard::drivers::testing
