// The card models as the reader enforces them: blocks no one may write, Mifare sectors open only
// to their key.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <tuple>

#include "emulator/CardFile.h"
#include "emulator/Reader.h"
#include "tests/emulator/FileSizeLimit.h"
#include "tests/support/EmulatorProcess.h"

namespace keycard::emulator {
namespace {

using link::Command;
using link::Status;
using Bytes = std::vector<std::uint8_t>;

class ReaderTest : public ::testing::Test {
 protected:
  // A blank card of `type` on the reader that works with it.
  void useCard(CardType type) {
    saveCard(card_, blankCard(type, 0xC0FFEE01));
    const bool mifare = type == CardType::Mifare1K;
    reader_.emplace(mifare ? ReaderKind::Mifare : ReaderKind::Proximity, card_, warnings_);
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
      {"EM4469 data word", CardType::EM4469, 15, Status::Ok},
      {"Mifare maker's block", CardType::Mifare1K, 0, Status::ReadOnly},
      {"Mifare trailer", CardType::Mifare1K, 7, Status::ReadOnly},
      {"Mifare last trailer", CardType::Mifare1K, 63, Status::ReadOnly},
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

// Each request a reader refuses, with the status that says why; the card stays as it was.
TEST_F(ReaderTest, RefusesWhatItCannotDoWithTheStatusThatSaysWhy) {
  using enum Command;
  const Bytes write4(5, 0x5A);
  Bytes write16(17, 0x5A);
  write16[0] = 4;
  const std::tuple<CardType, Command, Bytes, Status> rows[] = {
      {CardType::T5557, GetVersion, {0}, Status::BadArgument},
      {CardType::T5557, ControlRf, {}, Status::BadArgument},
      {CardType::T5557, Beep, {1, 2}, Status::BadArgument},
      {CardType::T5557, SelectCard, {0}, Status::BadArgument},
      {CardType::T5557, ReadBlock, {}, Status::BadArgument},
      {CardType::T5557, ReadBlock, {8}, Status::BadArgument},
      {CardType::EM4469, ReadBlock, {16}, Status::BadArgument},
      {CardType::T5557, WriteBlock, {7, 1, 2, 3}, Status::BadArgument},
      {CardType::T5557, WriteBlock, {8, 1, 2, 3, 4}, Status::BadArgument},
      {CardType::T5557,
       Authenticate,
       {4, 0x60, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
       Status::UnknownCommand},
      {CardType::T5557, Command{0x14}, {}, Status::UnknownCommand},
      {CardType::Mifare1K,
       Authenticate,
       {64, 0x60, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
       Status::BadArgument},
      {CardType::Mifare1K,
       Authenticate,
       {4, 0x61, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
       Status::BadArgument},
      {CardType::Mifare1K,
       Authenticate,
       {4, 0x60, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
       Status::BadArgument},
      {CardType::Mifare1K, ReadBlock, {64}, Status::BadArgument},
      {CardType::Mifare1K, WriteBlock, write4, Status::BadArgument},
      {CardType::Mifare1K, WriteBlock, write16, Status::AuthFailed},
  };
  for (const auto& [type, command, payload, expected] : rows) {
    SCOPED_TRACE(::testing::Message() << cardTypeName(type) << " command "
                                      << static_cast<int>(command) << " " << toHex(payload));
    useCard(type);
    const Card before = *loadCard(card_);
    EXPECT_EQ(ask(command, payload), Bytes{static_cast<std::uint8_t>(expected)});
    EXPECT_EQ(*loadCard(card_), before);
  }

  // A reader works only on its own kind of card.
  for (const auto& [kind, type] : {std::pair{ReaderKind::Proximity, CardType::Mifare1K},
                                   std::pair{ReaderKind::Mifare, CardType::T5557},
                                   std::pair{ReaderKind::Proximity, CardType::MifareUltralight}}) {
    saveCard(card_, blankCard(type, 1));
    reader_.emplace(kind, card_, warnings_);
    EXPECT_EQ(status(Command::SelectCard), Status::WrongCardKind) << cardTypeName(type);
    EXPECT_EQ(status(Command::ReadBlock, {4}), Status::WrongCardKind) << cardTypeName(type);
  }
  saveCard(card_, blankCard(CardType::EM4469, 1));
  reader_.emplace(ReaderKind::Proximity, card_, warnings_);
  EXPECT_EQ(status(Command::SelectCard), Status::Ok)
      << "a proximity reader takes either 125 kHz card";
}

TEST_F(ReaderTest, MifareOpensASectorOnlyToItsKeyAAndOnlyUntilTheCardIsSelectedAgain) {
  useCard(CardType::Mifare1K);
  EXPECT_EQ(status(Command::ReadBlock, {4}), Status::AuthFailed);
  EXPECT_EQ(authenticate(4, 0x00), Status::AuthFailed);
  EXPECT_EQ(status(Command::ReadBlock, {4}), Status::AuthFailed);

  ASSERT_EQ(authenticate(4), Status::Ok);
  EXPECT_EQ(status(Command::ReadBlock, {5}), Status::Ok);
  // Key A never reads back.
  EXPECT_EQ(toHex(ask(Command::ReadBlock, {7})), "00000000000000FF078069FFFFFFFFFFFF");
  EXPECT_EQ(status(Command::ReadBlock, {8}), Status::AuthFailed);

  EXPECT_EQ(status(Command::SelectCard), Status::Ok);
  EXPECT_EQ(status(Command::ReadBlock, {4}), Status::AuthFailed);
  ASSERT_EQ(authenticate(4), Status::Ok);
  std::filesystem::rename(card_, dir_ / "away");
  EXPECT_EQ(status(Command::ReadBlock, {4}), Status::NoCard);
  std::filesystem::rename(dir_ / "away", card_);
  EXPECT_EQ(status(Command::ReadBlock, {4}), Status::AuthFailed);
}

TEST_F(ReaderTest, AFailedSaveAnswersWriteFailedAndTheCardKeepsItsBlock) {
  useCard(CardType::EM4469);
  {
    const testing::FileSizeLimit fullDisk(100);  // an EM4469 card file takes about 300 bytes
    EXPECT_EQ(status(Command::WriteBlock, {5, 1, 2, 3, 4}), Status::WriteFailed);
  }
  EXPECT_EQ(toHex(ask(Command::ReadBlock, {5})), "0000000000");
  EXPECT_EQ(status(Command::WriteBlock, {5, 1, 2, 3, 4}), Status::Ok);
  EXPECT_EQ(toHex(ask(Command::ReadBlock, {5})), "0001020304");
  EXPECT_NE(warnings_.str().find("(answering WriteFailed)"), std::string::npos) << warnings_.str();
}

TEST_F(ReaderTest, AFileThatIsNoCardIsNoCardAndIsToldOnceWhileItLasts) {
  useCard(CardType::T5557);
  std::ofstream(card_) << "type t5557\n";  // no blocks
  for (int i = 0; i < 3; ++i) EXPECT_EQ(status(Command::SelectCard), Status::NoCard);
  EXPECT_EQ(warnings_.str(), "keycard-emulator: " + card_.string() +
                                 " line 1: block 0 is missing (answering NoCard)\n");
  saveCard(card_, blankCard(CardType::T5557, 1));
  EXPECT_EQ(status(Command::SelectCard), Status::Ok);
}

}  // namespace
}  // namespace keycard::emulator
