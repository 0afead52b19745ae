#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <ostream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "errors.h"
#include "frame.h"
#include "transact.h"

namespace keycard::link {
namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

// The reader's end of a pseudo-terminal, played by the test.
class Peer {
 public:
  Peer() : master_(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
      throw std::runtime_error("cannot make a pseudo-terminal");
    }
  }
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;
  ~Peer() { ::close(master_); }

  std::string slavePath() const { return ptsname(master_); }
  void send(const Bytes& bytes) const {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // True when a request arrived within a second (a pseudo-terminal delivers it in one piece).
  bool awaitRequest() const {
    pollfd watched{master_, POLLIN, 0};
    std::uint8_t chunk[64];
    return ::poll(&watched, 1, 1000) > 0 && ::read(master_, chunk, sizeof chunk) > 0;
  }

 private:
  int master_;
};

Bytes reply(Bytes payload, Command command = Command::GetVersion) {
  return encodeFrame(static_cast<std::uint8_t>(command) | kReplyBit, payload);
}

const Bytes kVersionOk = reply({0x00, 'K', 'C'});

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
  Peer peer;
  SerialLine line;
  ASSERT_EQ(line.open(peer.slavePath(), "test"), 0);
  if (!row.stale.empty()) peer.send(row.stale);
  std::this_thread::sleep_for(milliseconds(10));
  std::thread reader([&] {
    if (!peer.awaitRequest()) return;
    for (const Bytes& chunk : row.chunks) {
      peer.send(chunk);
      std::this_thread::sleep_for(milliseconds(20));
    }
  });
  Bytes data;
  const std::int32_t result = transact(line, Command::GetVersion, {}, data, milliseconds(150));
  reader.join();
  EXPECT_EQ(result, row.expected) << describe(static_cast<ErrorCode>(result));
  if (row.expected == 0) {
    EXPECT_EQ(data, (Bytes{'K', 'C'}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Transact,
    ::testing::Values(
        ExchangeCase{"Ok", {kVersionOk}, 0},
        ExchangeCase{"OkInTwoPieces",
                     {Bytes(kVersionOk.begin(), kVersionOk.begin() + 3),
                      Bytes(kVersionOk.begin() + 3, kVersionOk.end())},
                     0},
        ExchangeCase{"StaleReplyIsNotTheAnswer", {kVersionOk}, 0, reply({0x00, 'O', 'L', 'D'})},
        ExchangeCase{"AnswersAnotherCommand", {reply({0x00}, Command::Beep)}, kErrFrame},
        ExchangeCase{"NoStatus", {reply({})}, kErrFrame},
        ExchangeCase{"UnknownStatus", {reply({0x7F})}, kErrFrame},
        ExchangeCase{"ReadOnly", {reply({0x06})}, kErrArgument}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace keycard::link
