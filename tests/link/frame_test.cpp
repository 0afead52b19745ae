#include <gtest/gtest.h>

#include <ostream>

#include <string_view>
#include <vector>

#include "frame.h"

namespace keycard::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes versionReply() {
  const std::uint8_t payload[] = {0x00, 'K', 'C'};
  return encodeFrame(0x81, payload);
}

Bytes with(Bytes bytes, std::size_t index, std::uint8_t value) {
  bytes.at(index) = value;
  return bytes;
}

Bytes withoutLast(Bytes bytes) {
  bytes.pop_back();
  return bytes;
}

Bytes concat(Bytes first, const Bytes& second) {
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
    EXPECT_EQ(result.frame.command, 0x81);
    EXPECT_EQ(result.frame.payload, (Bytes{0x00, 'K', 'C'}));
  }
}

const std::size_t kReplySize = versionReply().size();

INSTANTIATE_TEST_SUITE_P(
    Rows, DecodeFrame,
    ::testing::Values(
        DecodeCase{"Whole", versionReply(), DecodeStatus::Complete, kReplySize},
        DecodeCase{"FollowedByMore", concat(versionReply(), {0x02, 0x01}), DecodeStatus::Complete,
                   kReplySize},
        DecodeCase{"Empty", {}, DecodeStatus::NeedMore},
        DecodeCase{"StartOnly", {0x02}, DecodeStatus::NeedMore},
        DecodeCase{"Truncated", withoutLast(versionReply()), DecodeStatus::NeedMore},
        DecodeCase{"BadStart", with(versionReply(), 0, 0x03), DecodeStatus::BadStart},
        DecodeCase{"NoiseBeforeFrame", concat({0xFF}, versionReply()), DecodeStatus::BadStart},
        DecodeCase{"LengthZero", {0x02, 0x00, 0x81, 0x00, 0x00}, DecodeStatus::BadLength},
        DecodeCase{"LengthBeyondMax", {0x02, kMaxBody + 1}, DecodeStatus::BadLength},
        DecodeCase{"LengthByteAltered", with(versionReply(), 1, 0x02), DecodeStatus::BadCrc},
        DecodeCase{"PayloadAltered", with(versionReply(), 4, 'X'), DecodeStatus::BadCrc},
        DecodeCase{"CrcAltered", with(versionReply(), kReplySize - 1, 0x00), DecodeStatus::BadCrc}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Crc16, MatchesTheCcittFalseCheckValue) {
  constexpr std::string_view kCheck = "123456789";
  const Bytes bytes(kCheck.begin(), kCheck.end());
  EXPECT_EQ(crc16(bytes), 0x29B1);
}

TEST(EncodeFrame, EveryPayloadLengthRoundTripsAndLongerIsRefused) {
  for (std::size_t length = 0; length <= kMaxPayload; ++length) {
    Bytes payload(length);
    for (std::size_t i = 0; i < length; ++i) payload[i] = static_cast<std::uint8_t>(i * 37);
    const Bytes frame = encodeFrame(0x12, payload);
    ASSERT_EQ(frame.size(), length + 1 + kFrameOverhead);
    const DecodeResult decoded = decodeFrame(frame);
    ASSERT_EQ(decoded.status, DecodeStatus::Complete) << "payload length " << length;
    EXPECT_EQ(decoded.frame, (Frame{0x12, payload}));
  }
  EXPECT_TRUE(encodeFrame(0x12, Bytes(kMaxPayload + 1)).empty());
}

}  // namespace
}  // namespace keycard::link
