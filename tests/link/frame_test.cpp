#include <gtest/gtest.h>

#include <ostream>
#include <string_view>
#include <vector>

#include "frame.h"

namespace keycard::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kReply = encodeFrame(0x81, Bytes{0x00, 'K', 'C'});

Bytes with(std::size_t index, std::uint8_t value) {
  Bytes bytes = kReply;
  bytes.at(index) = value;
  return bytes;
}

Bytes joined(Bytes first, const Bytes& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

struct DecodeCase {
  const char* name;
  Bytes input;
  DecodeStatus expected;
  std::size_t consumed = 0;
  friend void PrintTo(const DecodeCase& row, std::ostream* out) { *out << row.name; }
};

class DecodeFrame : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeFrame, ChecksEachField) {
  const DecodeCase& row = GetParam();
  const DecodeResult result = decodeFrame(row.input);
  EXPECT_EQ(result.status, row.expected) << describe(result.status);
  EXPECT_EQ(result.consumed, row.consumed);
  if (row.expected == DecodeStatus::Complete) {
    EXPECT_EQ(result.frame, (Frame{0x81, {0x00, 'K', 'C'}}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DecodeFrame,
    ::testing::Values(
        DecodeCase{"Whole", kReply, DecodeStatus::Complete, kReply.size()},
        DecodeCase{"FollowedByMore", joined(kReply, {0x02, 0x01}), DecodeStatus::Complete,
                   kReply.size()},
        DecodeCase{"Empty", {}, DecodeStatus::NeedMore},
        DecodeCase{"Truncated", Bytes(kReply.begin(), kReply.end() - 1), DecodeStatus::NeedMore},
        DecodeCase{"BadStart", with(0, 0x03), DecodeStatus::BadStart},
        DecodeCase{"NoiseBeforeFrame", joined({0xFF}, kReply), DecodeStatus::BadStart},
        DecodeCase{"LengthZero", {0x02, 0x00, 0x81, 0x00, 0x00}, DecodeStatus::BadLength},
        DecodeCase{"LengthBeyondMax", {0x02, kMaxBody + 1}, DecodeStatus::BadLength},
        DecodeCase{"LengthByteAltered", with(1, 0x02), DecodeStatus::BadCrc},
        DecodeCase{"PayloadAltered", with(4, 'X'), DecodeStatus::BadCrc},
        DecodeCase{"CrcAltered", with(kReply.size() - 1, 0x00), DecodeStatus::BadCrc}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Crc16, MatchesTheCcittFalseCheckValue) {
  constexpr std::string_view kCheck = "123456789";
  EXPECT_EQ(crc16(Bytes(kCheck.begin(), kCheck.end())), 0x29B1);
}

TEST(EncodeFrame, EveryPayloadLengthRoundTripsAndLongerIsRefused) {
  for (std::size_t length = 0; length <= kMaxPayload; ++length) {
    Bytes payload(length);
    for (std::size_t i = 0; i < length; ++i) payload[i] = static_cast<std::uint8_t>(i * 37);
    const DecodeResult decoded = decodeFrame(encodeFrame(0x12, payload));
    ASSERT_EQ(decoded.status, DecodeStatus::Complete) << "payload length " << length;
    EXPECT_EQ(decoded.frame, (Frame{0x12, payload}));
  }
  EXPECT_TRUE(encodeFrame(0x12, Bytes(kMaxPayload + 1)).empty());
}

}  // namespace
}  // namespace keycard::link
