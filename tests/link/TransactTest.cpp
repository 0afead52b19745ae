#include <gtest/gtest.h>
#include <pthread.h>

#include <csignal>

#include <chrono>
#include <ostream>
#include <thread>
#include <vector>

#include "link/Errors.h"
#include "link/Frame.h"
#include "link/Transact.h"
#include "tests/link/FarEnd.h"

namespace keycard::link {
namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

// One reply the test's reader sends: its status and data, its command, and its number as an
// offset from the request's (0: the reply to this very request).
struct Reply {
  Bytes payload;
  Command command = Command::GetVersion;
  int numberOffset = 0;
};

const Reply kVersionOk{{0x00, 'K', 'C'}};

struct ExchangeCase {
  const char* name;
  std::vector<Reply> replies;  // sent one after another, a little apart
  std::int32_t expected;
  bool inTwoPieces = false;
  Bytes stale = {};                // waiting on the line before the request
  milliseconds firstReplyAfter{};  // after the request arrived
  milliseconds operationLeft{1000};
  bool signalledWhileWaiting = false;  // a signal with a handler interrupts the wait for the reply
  friend void PrintTo(const ExchangeCase& row, std::ostream* out) { *out << row.name; }
};

class Transact : public ::testing::TestWithParam<ExchangeCase> {};

TEST_P(Transact, TakesOnlyTheReplyToItsOwnRequest) {
  const ExchangeCase& row = GetParam();
  const keycard::testing::FarEnd reader;  // the test plays the reader
  SerialLine line;
  ASSERT_EQ(line.open(reader.path(), "test"), 0);
  reader.send(row.stale);
  std::this_thread::sleep_for(milliseconds(10));
  bool requestArrived = false;
  std::signal(SIGUSR1, [](int) {});  // a handler, so the signal interrupts poll() with EINTR
  const pthread_t waiting = pthread_self();
  std::thread answer([&] {
    const DecodeResult decoded = decodeFrame(reader.receive(300, kMaxFrame));
    requestArrived = decoded.status == DecodeStatus::Complete;
    if (!requestArrived) return;
    if (row.signalledWhileWaiting) pthread_kill(waiting, SIGUSR1);
    std::this_thread::sleep_for(row.firstReplyAfter);
    for (const Reply& reply : row.replies) {
      const Bytes frame =
          encodeFrame(static_cast<std::uint8_t>(decoded.frame.sequence + reply.numberOffset),
                      static_cast<std::uint8_t>(reply.command) | kReplyBit, reply.payload);
      const auto split = frame.begin() + (row.inTwoPieces ? 3 : std::ssize(frame));
      reader.send(Bytes(frame.begin(), split));
      std::this_thread::sleep_for(milliseconds(20));
      reader.send(Bytes(split, frame.end()));
    }
  });
  Bytes data;
  std::int32_t result = 0;
  {
    const OperationScope operation(line, row.operationLeft);
    result = transact(line, Command::GetVersion, {}, data, milliseconds(150));
  }
  answer.join();
  EXPECT_EQ(result, row.expected);
  EXPECT_EQ(data, (row.expected == 0 ? Bytes{'K', 'C'} : Bytes{}));
  EXPECT_EQ(requestArrived, row.operationLeft > milliseconds(0)) << "begun with no time left";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Transact,
    ::testing::Values(
        ExchangeCase{"Ok", {kVersionOk}, 0}, ExchangeCase{"OkInTwoPieces", {kVersionOk}, 0, true},
        ExchangeCase{"ASignalWhileWaiting",
                     {kVersionOk},
                     0,
                     false,
                     {},
                     milliseconds(50),
                     milliseconds(1000),
                     true},
        ExchangeCase{"StaleBytesBeforeTheRequestAreDropped",
                     {kVersionOk},
                     0,
                     false,
                     encodeFrame(0, 0x81, Bytes{0x00, 'O', 'L', 'D'})},
        ExchangeCase{"AnswersAnotherCommand", {{{0x00}, Command::Beep}}, kErrFrame},
        ExchangeCase{"AnswersAnotherRequestFirst",
                     {{{0x00, 'O', 'L', 'D'}, Command::GetVersion, 7}, kVersionOk},
                     kErrFrame},
        ExchangeCase{"NoStatus", {{{}}}, kErrFrame},
        ExchangeCase{"ReadOnly", {{{0x06}}}, kErrArgument},
        ExchangeCase{"WriteFailedIsNotNoCard", {{{0x07}}}, kErrVerify},
        // The reply would come in its own time, but the operation's time is up first.
        ExchangeCase{"OperationEndsBeforeTheReply",
                     {kVersionOk},
                     kErrTimeout,
                     false,
                     {},
                     milliseconds(100),
                     milliseconds(50)},
        ExchangeCase{
            "OperationAlreadyOver", {kVersionOk}, kErrTimeout, false, {}, {}, milliseconds(0)}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace keycard::link
