// The emulator as a process: a log it refuses, what it cleans up after emulators that
// were killed, that it ends on SIGTERM whatever lies on the reader, and what its log shows.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <span>

#include "emulator/card/Card.h"
#include "link/Frame.h"
#include "link/SerialLine.h"
#include "tests/support/EmulatorProcess.h"

namespace keycard::testing {
namespace {

namespace fs = std::filesystem;
using link::Command;

// One exchange as a driver makes it but without the driver's checks, so a test sees exactly what
// the emulator answered.
struct Answer {
  std::string replyHex;  // the reply's payload, status first; "(no reply)" when none came
  std::chrono::milliseconds took{0};
};

// Sends `noise`, then the request, and waits up to 2 s for a whole frame.
inline Answer exchange(link::SerialLine& line, link::Command command,
                       std::span<const std::uint8_t> payload,
                       std::span<const std::uint8_t> noise = {}) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const link::Deadline deadline(start + std::chrono::seconds(2));
  std::vector<std::uint8_t> sent(noise.begin(), noise.end());
  const auto request = link::encodeFrame(0, static_cast<std::uint8_t>(command), payload);
  sent.insert(sent.end(), request.begin(), request.end());
  if (line.writeAll(sent, deadline) != link::SerialLine::IoResult::Ok) return {"(unsent)"};
  std::vector<std::uint8_t> received;
  while (line.readSome(received, deadline) == link::SerialLine::IoResult::Ok) {
    const link::DecodeResult decoded = link::decodeFrame(received);
    if (decoded.status == link::DecodeStatus::NeedMore) continue;
    if (decoded.status != link::DecodeStatus::Complete) break;
    return {emulator::toHex(decoded.frame.payload),
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)};
  }
  return {"(no reply)"};
}

constexpr char kVersionReply[] = "004B432D50524F5820312E30";  // Ok, "KC-PROX 1.0"

std::string versionThrough(const fs::path& port) {
  link::SerialLine line;
  if (line.open(port.string(), "test") != 0) return "(cannot open)";
  return exchange(line, Command::GetVersion, {}).replyHex;
}

TEST(Serve, StartsOverWhatAKilledEmulatorLeftAndLeavesNothingBehind) {
  TempDir dir;
  newCard("t5557", dir / "card");
  fs::create_symlink("/dev/pts/999999", dir / "COM1");  // its line is gone
  std::ofstream(dir / "COM1.lock") << "99999\n";        // nobody holds it any more
  std::ofstream(dir / "card.tmp-Kill01") << "# keycard-emulator card\ntype t5";
  EmulatorProcess emulator({.card = dir / "card", .portDir = dir.path()});
  EXPECT_FALSE(fs::exists(dir / "card.tmp-Kill01"));
  EXPECT_EQ(versionThrough(dir / "COM1"), kVersionReply);
  EXPECT_EQ(emulator.stop(SIGINT), 0) << "Ctrl-C ends it as SIGTERM does";
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1) << "only the card is left";
}

TEST(Serve, ACardFileThatWouldBlockIsNoCardAndSigtermStillEndsIt) {
  TempDir dir;
  ::mkfifo((dir / "card").c_str(), 0600);
  std::ofstream(dir / "log") << "an earlier run\n";
  EmulatorProcess emulator({.card = dir / "card", .portDir = dir.path(), .log = dir / "log"});
  link::SerialLine line;
  ASSERT_EQ(line.open((dir / "COM1").string(), "test"), 0);
  EXPECT_EQ(exchange(line, Command::SelectCard, {}).replyHex, "01");  // NoCard
  // Line noise just before a request, a stray start byte among it, costs the request nothing.
  const std::uint8_t noise[] = {0xFF, 0x02, 0x00, 0x55};
  EXPECT_EQ(exchange(line, Command::GetVersion, {}, noise).replyHex, kVersionReply);
  EXPECT_EQ(emulator.stop(), 0) << "ended by SIGTERM, not killed";

  // The log gains a line for each request, reply and discarded input, after what it held; the
  // time stamp (date and time) leads each line.
  std::ifstream log(dir / "log");
  std::string lines;
  for (std::string logged; std::getline(log, logged);) {
    // Past the date and the time.
    lines += (logged.starts_with("20") ? logged.substr(logged.find(" ", logged.find(" ") + 1) + 1)
                                       : logged) +
             "\n";
  }
  EXPECT_EQ(lines,
            "an earlier run\n"
            "<- 02 01 00 10 E9 9D  SelectCard\n"
            "-> 02 02 00 90 01 61 62  SelectCard reply NoCard\n"
            "!! FF 02 00 55  discarded: noise before a request\n"
            "<- 02 01 00 01 EB 8D  GetVersion\n"
            "-> 02 0D 00 81 00 4B 43 2D 50 52 4F 58 20 31 2E 30 27 CD  GetVersion reply Ok\n");
}

}  // namespace
}  // namespace keycard::testing
