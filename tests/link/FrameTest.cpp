#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "link/Frame.h"

namespace keycard::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kReply = encodeFrame(0x5A, 0x81, Bytes{0x00, 'K', 'C'});

// The reply with one byte changed, or one more byte after it.
Bytes with(std::size_t index, std::uint8_t value) {
  Bytes bytes = kReply;
  bytes.resize(std::max(bytes.size(), index + 1));
  bytes[index] = value;
  return bytes;
}

TEST(DecodeFrame, ChecksEachField) {
  const struct {
    const char* name;
    Bytes input;
    DecodeStatus expected;
    std::size_t consumed = 0;
  } rows[] = {
      {"whole", kReply, DecodeStatus::Complete, kReply.size()},
      {"empty", {}, DecodeStatus::NeedMore},
      {"truncated", Bytes(kReply.begin(), kReply.end() - 1), DecodeStatus::NeedMore},
      {"bad start", with(0, 0x03), DecodeStatus::BadStart},
      {"length 0", {0x02, 0x00, 0x81, 0x00, 0x00}, DecodeStatus::BadLength},
      {"length beyond the maximum", {0x02, kMaxBody + 1}, DecodeStatus::BadLength},
      {"length byte altered", with(1, 0x02), DecodeStatus::BadCrc},
      {"sequence altered", with(2, 0x5B), DecodeStatus::BadCrc},
      {"payload altered", with(5, 'X'), DecodeStatus::BadCrc},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const DecodeResult result = decodeFrame(row.input);
    EXPECT_EQ(result.status, row.expected) << describe(result.status);
    EXPECT_EQ(result.consumed, row.consumed);
    if (row.expected == DecodeStatus::Complete) {
      EXPECT_EQ(result.frame, (Frame{0x81, {0x00, 'K', 'C'}, 0x5A}));
    }
  }
}

TEST(Crc16, MatchesTheCcittFalseCheckValue) {
  constexpr std::string_view kCheck = "123456789";
  EXPECT_EQ(crc16(Bytes(kCheck.begin(), kCheck.end())), 0x29B1);
}

TEST(EncodeFrame, TheLongestPayloadRoundTripsAndALongerOneIsRefused) {
  const Bytes longest(kMaxPayload, 0x5A);
  EXPECT_EQ(decodeFrame(encodeFrame(0xFF, 0x12, longest)).frame, (Frame{0x12, longest, 0xFF}));
  EXPECT_TRUE(encodeFrame(0xFF, 0x12, Bytes(kMaxPayload + 1)).empty());
}

}  // namespace
}  // namespace keycard::link
