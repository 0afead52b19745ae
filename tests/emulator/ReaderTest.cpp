// The card models as the serial reader enforces them: blocks no one may write, a save that
// fails, and a card that came into the field.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <functional>
#include <sstream>
#include <tuple>

#include "emulator/card/CardFile.h"
#include "emulator/serial/Reader.h"
#include "tests/support/EmulatorProcess.h"

namespace keycard::emulator {
namespace {

using link::Command;
using link::Status;
using Bytes = std::vector<std::uint8_t>;

// A disk that takes no more than a few bytes per file, for as long as the object lives: writes
// beyond the limit fail with EFBIG, even for root, as they would on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &previous_);
    previousHandler_ = ::signal(SIGXFSZ, SIG_IGN);  // the write fails instead of killing us
    const rlimit limit{bytes, previous_.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &previous_);
    ::signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit previous_{};
  sighandler_t previousHandler_ = SIG_DFL;
};

class ReaderTest : public ::testing::Test {
 protected:
  // A blank card of `type` on the reader that works with it, selected.
  void useCard(CardType type) {
    saveCard(card_, blankCard(type, 0xC0FFEE01));
    const bool mifare = type == CardType::Mifare1K;
    reader_.emplace(mifare ? ReaderKind::Mifare : ReaderKind::Proximity, card_, warnings_);
    ASSERT_EQ(status(Command::SelectCard), Status::Ok);
  }

  // The reply's payload: status first.
  Bytes ask(Command command, Bytes payload = {}) {
    return reader_->answer({static_cast<std::uint8_t>(command), std::move(payload)}).payload;
  }
  Status status(Command command, Bytes payload = {}) {
    return Status{ask(command, std::move(payload)).at(0)};
  }
  Status authenticate(std::uint8_t block, std::uint8_t keyByte = 0xFF) {
    return status(Command::Authenticate,
                  {block, link::kMifareKeyA, keyByte, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  }

  testing::TempDir dir_;
  const std::filesystem::path card_ = dir_ / "card";
  std::ostringstream warnings_;
  std::optional<Reader> reader_;
};

TEST_F(ReaderTest, WritesOnlyTheBlocksACardLetsAnyoneWrite) {
  const std::tuple<const char*, CardType, std::uint8_t, Status> rows[] = {
      {"T5557 configuration", CardType::T5557, 0, Status::ReadOnly},
      {"T5557 data", CardType::T5557, 7, Status::Ok},
      {"EM4469 UID", CardType::EM4469, 1, Status::ReadOnly},
      {"Mifare maker's block", CardType::Mifare1K, 0, Status::ReadOnly},
      {"Mifare trailer", CardType::Mifare1K, 7, Status::ReadOnly},
      {"Mifare data", CardType::Mifare1K, 6, Status::Ok},
  };
  for (const auto& [name, type, block, expected] : rows) {
    SCOPED_TRACE(name);
    useCard(type);
    const bool mifare = type == CardType::Mifare1K;
    ASSERT_EQ(mifare ? authenticate(block) : Status::Ok, Status::Ok);
    Card after = *loadCard(card_);  // a write changes its block and nothing else
    Bytes payload(mifare ? 17 : 5, 0x5A);
    payload[0] = block;
    EXPECT_EQ(status(Command::WriteBlock, payload), expected);
    if (expected == Status::Ok) after.blocks.at(block).assign(payload.size() - 1, 0x5A);
    EXPECT_EQ(*loadCard(card_), after);
  }
}

// The disk full: the old card stays whole, and no temporary file is left beside it.
TEST_F(ReaderTest, AFailedSaveAnswersWriteFailedAndTheCardKeepsItsBlock) {
  useCard(CardType::EM4469);
  const Card old = *loadCard(card_);
  {
    const FileSizeLimit fullDisk(100);  // an EM4469 card file takes about 300 bytes
    EXPECT_EQ(status(Command::WriteBlock, {5, 1, 2, 3, 4}), Status::WriteFailed);
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1);
  EXPECT_EQ(*loadCard(card_), old);
  EXPECT_EQ(toHex(ask(Command::ReadBlock, {5})), "0000000000");
  EXPECT_EQ(status(Command::WriteBlock, {5, 1, 2, 3, 4}), Status::Ok);
  EXPECT_EQ(toHex(ask(Command::ReadBlock, {5})), "0001020304");
  EXPECT_NE(warnings_.str().find("(answering WriteFailed)"), std::string::npos) << warnings_.str();
}

// A card that comes into the field is neither selected nor authenticated, whichever way it came
// (another card in its place is the drivers' swap rows); the reader's own writes are no card
// change.
TEST_F(ReaderTest, ACardThatCameIntoTheFieldAnswersNothingUntilSelected) {
  const auto putBack = [this](CardType) {
    std::filesystem::rename(card_, dir_ / "away");
    EXPECT_EQ(status(Command::SelectCard), Status::NoCard);
    std::filesystem::rename(dir_ / "away", card_);
  };
  const auto sameUidOtherBlocks = [this](CardType) {  // a T5557 always selects as 00000000
    Card card = *loadCard(card_);
    card.blocks.at(2).at(0) ^= 0x01;
    saveCard(card_, card);
  };
  using Change = std::function<void(CardType)>;
  const std::tuple<const char*, CardType, Change> rows[] = {
      {"T5557 file replaced in place", CardType::T5557, sameUidOtherBlocks},
      {"EM4469 taken off and put back", CardType::EM4469, putBack},
      {"Mifare taken off and put back", CardType::Mifare1K, putBack},
  };
  for (const auto& [name, type, change] : rows) {
    SCOPED_TRACE(name);
    useCard(type);
    const bool mifare = type == CardType::Mifare1K;
    const std::uint8_t block = mifare ? 4 : 5;
    const Bytes write = mifare ? Bytes(17, block) : Bytes{block, 1, 2, 3, 4};
    if (mifare) {
      ASSERT_EQ(authenticate(block), Status::Ok);
    }
    ASSERT_EQ(status(Command::WriteBlock, write), Status::Ok);
    ASSERT_EQ(status(Command::ReadBlock, {block}), Status::Ok);

    change(type);
    const Card before = *loadCard(card_);
    EXPECT_EQ(status(Command::ReadBlock, {block}), Status::NoCard);
    EXPECT_EQ(status(Command::WriteBlock, write), Status::NoCard);
    if (mifare) {
      EXPECT_EQ(authenticate(block), Status::NoCard);
    }
    EXPECT_EQ(*loadCard(card_), before);

    ASSERT_EQ(status(Command::SelectCard), Status::Ok);
    EXPECT_EQ(status(Command::ReadBlock, {block}), mifare ? Status::AuthFailed : Status::Ok);
  }
}

}  // namespace
}  // namespace keycard::emulator
