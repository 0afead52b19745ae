// The emulator as the drivers meet it: a process serving frames on a pseudo-terminal.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "EmulatorProcess.h"
#include "emulator/Faults.h"
#include "emulator/Server.h"

namespace keycard::testing {
namespace {

using namespace std::chrono_literals;
using link::Command;
using link::DecodeStatus;
using link::Status;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr std::uint8_t kOk = static_cast<std::uint8_t>(Status::Ok);
constexpr std::uint8_t kNoCard = static_cast<std::uint8_t>(Status::NoCard);
// Longer than any reply takes over a pseudo-terminal, short enough to keep the tests quick.
constexpr auto kQuiet = 150ms;

class LineTest : public ::testing::Test {
 protected:
  EmulatorOptions options(std::string fault = {}) const {
    EmulatorOptions result;
    result.card = card();
    result.portDir = dir_.path();
    result.fault = std::move(fault);
    return result;
  }
  std::filesystem::path card() const { return dir_ / "card"; }

  TempDir dir_;
};

std::string versionOf(const link::Frame& reply) {
  return std::string(reply.payload.begin() + 1, reply.payload.end());
}

TEST_F(LineTest, AnswersVersionAndSelectAcrossReconnects) {
  newCard("em4469", card());
  EmulatorProcess emulator(options());
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "COM1"));
  {
    RawPort port(emulator.portPath());
    port.sendFrame(Command::GetVersion);
    const auto reply = port.receiveFrame();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->command, 0x81);
    EXPECT_EQ(reply->payload[0], kOk);
    EXPECT_EQ(versionOf(*reply), "KC-PROX 1.0");
  }
  // A driver closing its port does not end the line for the next one.
  RawPort port(emulator.portPath());
  port.sendFrame(Command::SelectCard);
  auto reply = port.receiveFrame();
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->payload[0], kOk);
  EXPECT_EQ(reply->payload[1], static_cast<std::uint8_t>(link::CardType::EM4469));

  std::filesystem::rename(card(), dir_ / "taken-away");
  port.sendFrame(Command::SelectCard);
  reply = port.receiveFrame();
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->payload, Bytes{kNoCard});
}

TEST_F(LineTest, IgnoresMalformedRequestsAndAnswersTheNextGoodOne) {
  newCard("mifare1k", card());
  auto opts = options();
  opts.kind = "mifare";
  opts.log = dir_ / "traffic.log";
  EmulatorProcess emulator(opts);
  RawPort port(emulator.portPath());

  Bytes badCrc = link::encodeFrame(static_cast<std::uint8_t>(Command::GetVersion), {});
  badCrc.back() ^= 0x01;
  const Bytes rows[] = {badCrc, {0x02, 0x00, 0x01}, {0x55, 0x02, 0x01, 0x01}, {0x02, 0x05, 0x10}};
  for (const Bytes& bad : rows) {
    port.send(bad);
    EXPECT_TRUE(port.receive(kQuiet).empty());
  }
  port.sendFrame(Command::GetVersion);
  const auto reply = port.receiveFrame();
  ASSERT_TRUE(reply);
  EXPECT_EQ(versionOf(*reply), "KC-MIF 1.0");

  emulator.stop();
  std::ifstream logFile(opts.log);
  std::stringstream log;
  log << logFile.rdbuf();
  EXPECT_NE(log.str().find("!! 02 05 10  discarded: incomplete frame"), std::string::npos)
      << log.str();
  EXPECT_NE(log.str().find("discarded: checksum mismatch"), std::string::npos);
  EXPECT_NE(log.str().find("<- 02 01 01 "), std::string::npos);
  EXPECT_NE(log.str().find("GetVersion reply Ok"), std::string::npos);
}

TEST_F(LineTest, StopsOnSigtermAndRemovesItsLinkReplacingAStaleOne) {
  std::filesystem::create_symlink("/dev/pts/no-such-line", dir_ / "COM1");
  EmulatorProcess emulator(options());
  EXPECT_NE(std::filesystem::read_symlink(dir_ / "COM1"), "/dev/pts/no-such-line");
  EXPECT_EQ(emulator.stop(), emulator::kExitOk);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir_ / "COM1")));
}

TEST_F(LineTest, RefusesToStartWithoutAPortFolderOrOverAFile) {
  ScopedEnv noPortDir("KEYCARD_PORT_DIR", "");
  auto opts = options();
  opts.portDir.clear();
  EXPECT_THROW(EmulatorProcess{opts}, std::runtime_error);

  std::ofstream(dir_ / "COM2") << "not a port";
  opts = options();
  opts.port = "COM2";
  EXPECT_THROW(EmulatorProcess{opts}, std::runtime_error);
  EXPECT_TRUE(std::filesystem::is_regular_file(dir_ / "COM2"));
}

TEST_F(LineTest, WireDelayTakesTheTimeOfNineThousandSixHundredBaud) {
  newCard("t5557", card());
  auto opts = options();
  opts.wireDelay = true;
  EmulatorProcess emulator(opts);
  RawPort port(emulator.portPath());
  const auto start = Clock::now();
  port.sendFrame(Command::GetVersion);
  ASSERT_TRUE(port.receiveFrame());
  // 16 bytes of reply at 1.04 ms each.
  EXPECT_GE(Clock::now() - start, link::kByteTime * 16);
}

// One fault per row: what a driver sending SelectCard sees on the line.
struct FaultRow {
  const char* fault;
  void (*check)(const Bytes& received, RawPort& port);
};

void PrintTo(const FaultRow& row, std::ostream* out) {
  *out << row.fault;
}

void expectNothing(const Bytes& received, RawPort& /*port*/) {
  EXPECT_TRUE(received.empty());
}

void expectDecode(const Bytes& received, DecodeStatus expected) {
  ASSERT_FALSE(received.empty());
  EXPECT_EQ(link::decodeFrame(received).status, expected) << link::describe(expected);
}

const FaultRow kFaultRows[] = {
    {"silent", expectNothing},
    {"corrupt", [](const Bytes& r, RawPort&) { expectDecode(r, DecodeStatus::BadCrc); }},
    {"truncate", [](const Bytes& r, RawPort&) { expectDecode(r, DecodeStatus::NeedMore); }},
    {"oversize", [](const Bytes& r, RawPort&) { expectDecode(r, DecodeStatus::BadLength); }},
    {"garbage",
     [](const Bytes& r, RawPort&) {
       expectDecode(r, DecodeStatus::BadStart);
       const std::size_t noise = std::size(emulator::kGarbage);
       ASSERT_GT(r.size(), noise);
       EXPECT_EQ(link::decodeFrame(std::span(r).subspan(noise)).status, DecodeStatus::Complete);
     }},
    {"hangup",
     [](const Bytes& r, RawPort& port) {
       expectDecode(r, DecodeStatus::NeedMore);
       EXPECT_TRUE(port.hungUp());
     }},
};

class FaultTest : public LineTest, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(FaultTest, ShapesEveryReply) {
  newCard("t5557", card());
  EmulatorProcess emulator(options(GetParam().fault));
  RawPort port(emulator.portPath());
  port.sendFrame(Command::SelectCard);
  const Bytes received = port.receive(kQuiet);
  GetParam().check(received, port);
  if (std::string(GetParam().fault) == "hangup") {
    EXPECT_EQ(emulator.waitForExit(1s), emulator::kExitHungUp);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(emulator.portPath())));
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultTest, ::testing::ValuesIn(kFaultRows),
                         [](const auto& row) { return std::string(row.param.fault); });

TEST_F(LineTest, LateFaultAnswersAfterTheDriversTimeout) {
  newCard("t5557", card());
  EmulatorProcess emulator(options("late"));
  RawPort port(emulator.portPath());
  const auto start = Clock::now();
  port.sendFrame(Command::GetVersion);
  EXPECT_TRUE(port.receive(kQuiet, link::kReplyTimeout).empty());
  const auto reply = port.receiveFrame(1s);
  ASSERT_TRUE(reply);
  EXPECT_GE(Clock::now() - start, emulator::kLateDelay);
}

TEST_F(LineTest, TearTakesTheCardAwayAfterTwoBlockWrites) {
  newCard("t5557", card());
  EmulatorProcess emulator(options("tear"));
  RawPort port(emulator.portPath());
  const auto write = [&](std::uint8_t block) {
    port.sendFrame(Command::WriteBlock, Bytes{block, 0xA0, 0xB0, 0xC0, block});
    const auto reply = port.receiveFrame();
    return reply ? reply->payload.at(0) : 0xEE;
  };
  EXPECT_EQ(write(1), kOk);
  EXPECT_EQ(write(2), kOk);
  EXPECT_EQ(write(3), kNoCard);
  port.sendFrame(Command::GetVersion);
  EXPECT_TRUE(port.receiveFrame());

  EXPECT_FALSE(std::filesystem::exists(card()));
  const std::filesystem::path torn = card().string() + ".torn";
  EXPECT_EQ(cardBlock(torn, 1), "A0B0C001");
  EXPECT_EQ(cardBlock(torn, 2), "A0B0C002");
  EXPECT_EQ(cardBlock(torn, 3), "00000000");
}

}  // namespace
}  // namespace keycard::testing
