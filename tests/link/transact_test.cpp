#include <gtest/gtest.h>

#include <ostream>

#include <chrono>
#include <thread>
#include <vector>

#include "errors.h"
#include "frame.h"
#include "pty_peer.h"
#include "transact.h"

namespace keycard::link {
namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

constexpr milliseconds kShortTimeout{150};

Bytes reply(Command command, Bytes payload) {
  return encodeFrame(static_cast<std::uint8_t>(command) | kReplyBit, payload);
}

const Bytes kVersionOk = reply(Command::GetVersion, {0x00, 'K', 'C'});

struct ExchangeCase {
  const char* name;
  std::vector<Bytes> chunks;  // sent one after another, a little apart
  bool hangUp = false;        // then close the line
  std::int32_t expected;
  friend void PrintTo(const ExchangeCase& row, std::ostream* out) { *out << row.name; }
};

class Transact : public ::testing::TestWithParam<ExchangeCase> {};

TEST_P(Transact, MapsEachAnswerToItsResult) {
  const ExchangeCase& row = GetParam();
  testing::PtyPeer peer;
  SerialLine line;
  ASSERT_EQ(line.open(peer.slavePath(), "test"), 0);
  std::thread reader([&] {
    if (peer.receiveRequest().empty()) return;
    for (const Bytes& chunk : row.chunks) {
      peer.send(chunk);
      std::this_thread::sleep_for(milliseconds(20));
    }
    if (row.hangUp) peer.hangUp();
  });

  Bytes data;
  const auto start = std::chrono::steady_clock::now();
  const std::int32_t result = transact(line, Command::GetVersion, {}, data, kShortTimeout);
  const auto took = std::chrono::steady_clock::now() - start;
  reader.join();

  EXPECT_EQ(result, row.expected) << describe(static_cast<ErrorCode>(result));
  EXPECT_LT(took, kShortTimeout + milliseconds(200));
  if (row.expected == 0) {
    EXPECT_EQ(data, (Bytes{'K', 'C'}));
  }
}

Bytes firstHalf(const Bytes& bytes) {
  return {bytes.begin(), bytes.begin() + 3};
}
Bytes secondHalf(const Bytes& bytes) {
  return {bytes.begin() + 3, bytes.end()};
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Transact,
    ::testing::Values(
        ExchangeCase{"Ok", {kVersionOk}, false, 0},
        ExchangeCase{"OkInTwoPieces", {firstHalf(kVersionOk), secondHalf(kVersionOk)}, false, 0},
        ExchangeCase{"Silent", {}, false, kErrTimeout},
        ExchangeCase{"CutShort", {firstHalf(kVersionOk)}, false, kErrFrame},
        ExchangeCase{"NoiseFirst", {{0xFF, 0x00}, kVersionOk}, false, kErrFrame},
        ExchangeCase{"AnswersAnotherCommand", {reply(Command::Beep, {0x00})}, false, kErrFrame},
        ExchangeCase{"NoStatus", {reply(Command::GetVersion, {})}, false, kErrFrame},
        ExchangeCase{"UnknownStatus", {reply(Command::GetVersion, {0x7F})}, false, kErrFrame},
        ExchangeCase{"NoCard", {reply(Command::GetVersion, {0x01})}, false, kErrNoCard},
        ExchangeCase{"ReadOnly", {reply(Command::GetVersion, {0x06})}, false, kErrArgument},
        ExchangeCase{"HangUp", {}, true, kErrPort},
        ExchangeCase{"HangUpMidReply", {firstHalf(kVersionOk)}, true, kErrPort}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(TransactLine, StaleBytesWaitingBeforeTheRequestAreNotTakenForTheReply) {
  testing::PtyPeer peer;
  SerialLine line;
  ASSERT_EQ(line.open(peer.slavePath(), "test"), 0);
  peer.send(reply(Command::GetVersion, {0x00, 'O', 'L', 'D'}));
  std::this_thread::sleep_for(milliseconds(20));
  std::thread reader([&] {
    if (!peer.receiveRequest().empty()) peer.send(kVersionOk);
  });
  Bytes data;
  EXPECT_EQ(transact(line, Command::GetVersion, {}, data, kShortTimeout), 0);
  reader.join();
  EXPECT_EQ(data, (Bytes{'K', 'C'}));
}

TEST(TransactLine, ClosedLineIsNotOpen) {
  SerialLine line;
  Bytes data;
  EXPECT_EQ(transact(line, Command::GetVersion, {}, data), kErrNotOpen);
}

}  // namespace
}  // namespace keycard::link
