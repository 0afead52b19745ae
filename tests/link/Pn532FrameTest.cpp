#include <gtest/gtest.h>

#include <vector>

#include "link/Pn532Frame.h"

namespace keycard::link::pn532 {
namespace {

using Bytes = std::vector<std::uint8_t>;

// GetFirmwareVersion's answer from a PN532 v1.6.
const Bytes kBody = {kBoardToHost, 0x03, 0x32, 0x01, 0x06, 0x07};
const Bytes kFrame = encodeFrame(kBody);

Bytes join(Bytes head, const Bytes& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

Bytes with(std::size_t index, std::uint8_t value) {
  Bytes bytes = kFrame;
  bytes[index] = value;
  return bytes;
}

TEST(Pn532Frame, EncodesTheChecksumsABoardExpects) {
  EXPECT_EQ(kFrame,
            (Bytes{0x00, 0x00, 0xFF, 0x06, 0xFA, 0xD5, 0x03, 0x32, 0x01, 0x06, 0x07, 0xE8, 0x00}));
  EXPECT_EQ(encodeFrame(Bytes{0x7F}), Bytes(kErrorFrame.begin(), kErrorFrame.end()));
  EXPECT_TRUE(encodeFrame(Bytes{}).empty());
  EXPECT_TRUE(encodeFrame(Bytes(kMaxBody + 1, kHostToBoard)).empty());
  EXPECT_EQ(encodeFrame(Bytes(kMaxBody, kHostToBoard)).size(), kMaxBody + 7);
}

TEST(Pn532Frame, ParsesWhatComesOnTheWire) {
  const Bytes ack(kAck.begin(), kAck.end());
  const Bytes nack(kNack.begin(), kNack.end());
  const Bytes error(kErrorFrame.begin(), kErrorFrame.end());
  const Bytes wakeUp = {0x55, 0x55, 0x00, 0x00, 0x00, 0x00};
  const struct {
    const char* name;
    Bytes input;
    Parse expected;
    std::size_t consumed;
  } rows[] = {
      {"information", kFrame, Parse::Information, kFrame.size()},
      {"ACK then the answer", join(ack, kFrame), Parse::Ack, ack.size()},
      {"NACK", nack, Parse::Nack, nack.size()},
      {"error frame", error, Parse::Error, error.size()},
      {"after the wake-up", join(wakeUp, kFrame), Parse::Information,
       wakeUp.size() + kFrame.size()},
      {"after noise", join({0x12, 0xFF, 0x34}, ack), Parse::Ack, 3 + ack.size()},
      {"noise only", {0x55, 0x55, 0x00, 0x00}, Parse::Incomplete, 0},
      {"ACK without its postamble", Bytes(ack.begin(), ack.end() - 1), Parse::Incomplete, 0},
      {"cut answer", Bytes(kFrame.begin(), kFrame.end() - 1), Parse::Incomplete, 0},
      {"data altered", with(8, 0x02), Parse::Bad, kFrame.size()},
      {"DCS altered", with(11, 0xE9), Parse::Bad, kFrame.size()},
      {"postamble altered", with(12, 0x01), Parse::Bad, kFrame.size()},
      {"LCS altered: only the start code goes", with(4, 0xFB), Parse::Bad, 3},
      {"extended frame", {0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0xFF}, Parse::Bad, 3},
      {"unknown TFI", encodeFrame(Bytes{0xD6, 0x03}), Parse::Bad, 9},
      {"one-byte body other than 7F", encodeFrame(Bytes{0xD5}), Parse::Bad, 8},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Bytes body = {0xAA};
    std::size_t consumed = 99;
    const Parse parse = parseFrame(row.input, body, consumed);
    EXPECT_EQ(parse, row.expected) << describe(parse);
    EXPECT_EQ(consumed, row.consumed);
    EXPECT_EQ(body, row.expected == Parse::Information ? kBody : Bytes{0xAA});
  }
}

}  // namespace
}  // namespace keycard::link::pn532
