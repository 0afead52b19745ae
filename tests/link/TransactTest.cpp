#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <ostream>
#include <thread>
#include <vector>

#include "link/Errors.h"
#include "link/Frame.h"
#include "link/Transact.h"

namespace keycard::link {
namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

Bytes reply(Bytes payload, Command command = Command::GetVersion) {
  return encodeFrame(static_cast<std::uint8_t>(command) | kReplyBit, payload);
}

const Bytes kVersionOk = reply({0x00, 'K', 'C'});
const Bytes kVersionHead(kVersionOk.begin(), kVersionOk.begin() + 3);
const Bytes kVersionTail(kVersionOk.begin() + 3, kVersionOk.end());

struct ExchangeCase {
  const char* name;
  std::vector<Bytes> chunks;  // the answer, sent in pieces a little apart
  std::int32_t expected;
  Bytes stale = {};  // waiting on the line before the request
  friend void PrintTo(const ExchangeCase& row, std::ostream* out) { *out << row.name; }
};

class Transact : public ::testing::TestWithParam<ExchangeCase> {};

TEST_P(Transact, MapsEachAnswerToItsResult) {
  const ExchangeCase& row = GetParam();
  // The test plays the reader on the far end of a pseudo-terminal.
  const int reader = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_TRUE(reader >= 0 && grantpt(reader) == 0 && unlockpt(reader) == 0);
  SerialLine line;
  ASSERT_EQ(line.open(ptsname(reader), "test"), 0);
  const auto send = [reader](const Bytes& bytes) {
    ASSERT_GT(::write(reader, bytes.data(), bytes.size()), 0);
  };
  if (!row.stale.empty()) send(row.stale);
  std::this_thread::sleep_for(milliseconds(10));
  std::thread answer([&] {
    pollfd request{reader, POLLIN, 0};
    std::uint8_t bytes[64];
    if (::poll(&request, 1, 1000) <= 0 || ::read(reader, bytes, sizeof bytes) <= 0) return;
    for (const Bytes& chunk : row.chunks) {
      send(chunk);
      std::this_thread::sleep_for(milliseconds(20));
    }
  });
  Bytes data;
  const std::int32_t result = transact(line, Command::GetVersion, {}, data, milliseconds(150));
  answer.join();
  ::close(reader);
  EXPECT_EQ(result, row.expected);
  EXPECT_EQ(data, (row.expected == 0 ? Bytes{'K', 'C'} : Bytes{}));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Transact,
    ::testing::Values(
        ExchangeCase{"Ok", {kVersionOk}, 0},
        ExchangeCase{"OkInTwoPieces", {kVersionHead, kVersionTail}, 0},
        ExchangeCase{"StaleReplyIsNotTheAnswer", {kVersionOk}, 0, reply({0x00, 'O', 'L', 'D'})},
        ExchangeCase{"AnswersAnotherCommand", {reply({0x00}, Command::Beep)}, kErrFrame},
        ExchangeCase{"NoStatus", {reply({})}, kErrFrame},
        ExchangeCase{"UnknownStatus", {reply({0x7F})}, kErrFrame},
        ExchangeCase{"ReadOnly", {reply({0x06})}, kErrArgument},
        ExchangeCase{"WriteFailedIsNotNoCard", {reply({0x07})}, kErrVerify}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace keycard::link
