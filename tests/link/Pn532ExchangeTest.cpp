// One command to a PN532 board on the far end of a pseudo-terminal, the test playing the board:
// only an ACK followed by the answer to this very command is taken, and a board that stops
// answering is told to drop the command.
#include "link/Pn532Exchange.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <thread>
#include <vector>

#include "link/Errors.h"
#include "link/Pn532Frame.h"
#include "tests/link/FarEnd.h"

namespace keycard::link::pn532 {
namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const Bytes kAckBytes(kAck.begin(), kAck.end());
const Bytes kVersion = {0x32, 0x01, 0x06, 0x07};
const Bytes kAnswer = encodeFrame(Bytes{kBoardToHost, 0x03} + kVersion);

struct ExchangeCase {
  const char* name;
  Bytes board;  // what the board sends once the request arrived
  std::int32_t expected;
  bool runsOut = false;  // the exchange's time ran out: the board must get an abort (ACK)
  bool inTwoPieces = false;
  Bytes waiting = {};  // on the line before the request
  friend void PrintTo(const ExchangeCase& row, std::ostream* out) { *out << row.name; }
};

class Pn532Exchange : public ::testing::TestWithParam<ExchangeCase> {};

TEST_P(Pn532Exchange, TakesTheAnswerToItsOwnCommandAfterTheAck) {
  const ExchangeCase& row = GetParam();
  const keycard::testing::FarEnd board;
  SerialLine line;
  ASSERT_EQ(line.open(board.path(), "test", kPn532BaudRate), 0);
  board.send(row.waiting);
  std::this_thread::sleep_for(milliseconds(10));
  std::thread play([&] {
    if (board.receive(300, 64).empty()) return;
    const auto split = row.board.begin() + (row.inTwoPieces ? std::ssize(row.board) / 2 : 0);
    board.send(Bytes(row.board.begin(), split));
    std::this_thread::sleep_for(milliseconds(20));
    board.send(Bytes(split, row.board.end()));
  });
  Bytes answer;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(exchange(line, Command::GetFirmwareVersion, {}, answer), row.expected);
  EXPECT_LT(std::chrono::steady_clock::now() - start, kExchangeTimeout + milliseconds(100));
  play.join();
  EXPECT_EQ(answer, row.expected == 0 ? kVersion : Bytes{});

  EXPECT_EQ(board.receive(50, 16), row.runsOut ? kAckBytes : Bytes{});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Pn532Exchange,
    ::testing::Values(
        ExchangeCase{"Answered", kAckBytes + kAnswer, 0},
        ExchangeCase{"NoiseBeforeTheFrames", Bytes{0xFF, 0x55} + kAckBytes + kAnswer, 0},
        ExchangeCase{"AnEarlierAnswerWaiting", kAckBytes + kAnswer, 0, false, false,
                     kAckBytes + encodeFrame(Bytes{kBoardToHost, 0x41, 0x00})},
        ExchangeCase{"ErrorFrame", kAckBytes + Bytes(kErrorFrame.begin(), kErrorFrame.end()),
                     kErrReader},
        ExchangeCase{"NoAck", kAnswer, kErrFrame},
        ExchangeCase{"Nack", Bytes(kNack.begin(), kNack.end()), kErrFrame},
        ExchangeCase{"AnotherCommandsAnswer", kAckBytes + encodeFrame(Bytes{kBoardToHost, 0x15}),
                     kErrFrame},
        ExchangeCase{"CutShort", kAckBytes + Bytes(kAnswer.begin(), kAnswer.begin() + 7), kErrFrame,
                     true},
        ExchangeCase{"AckOnly", kAckBytes, kErrTimeout, true},
        ExchangeCase{"Silent", {}, kErrTimeout, true}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace keycard::link::pn532
