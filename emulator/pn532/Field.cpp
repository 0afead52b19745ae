#include "emulator/pn532/Field.h"

#include <algorithm>
#include <ostream>

namespace keycard::emulator::pn532 {

namespace {

// The chip's commands, as the host hands them to InDataExchange.
constexpr std::uint8_t kAuthenticateA = 0x60;
constexpr std::uint8_t kAuthenticateB = 0x61;
constexpr std::uint8_t kRead = 0x30;
constexpr std::uint8_t kWrite = 0xA0;            // 16 bytes; an Ultralight keeps the first 4
constexpr std::uint8_t kUltralightWrite = 0xA2;  // 4 bytes
constexpr std::uint8_t kHalt = 0x50;

constexpr std::size_t kReadLength = 16;
constexpr std::size_t kKeyLength = 6;
constexpr std::size_t kKeyBOffset = 10;
// 60/61, block, key, the UID's first 4 bytes.
constexpr std::size_t kAuthenticateLength = 2 + kKeyLength + 4;

Bytes status(Status value) {
  return {static_cast<std::uint8_t>(value)};
}

// The chips a 13.56 MHz field wakes; the 125 kHz ones stay silent in it.
bool inRange(CardType type) {
  return type == CardType::Mifare1K || type == CardType::MifareUltralight;
}

}  // namespace

Field::Field(std::filesystem::path cardFile, std::ostream& warnings)
    : cardFile_(std::move(cardFile)), warnings_(warnings) {}

const Card* Field::present() {
  const CardFile::Reading& reading = cardFile_.look();
  if (reading.problem != lastProblem_) {
    lastProblem_ = reading.problem;
    if (!lastProblem_.empty()) {
      warnings_ << "keycard-emulator: " << lastProblem_ << " (no card in the field)\n";
    }
  }
  const Card* card = reading.card && inRange(reading.card->type) ? &*reading.card : nullptr;
  std::optional<Uid> uid;
  if (card != nullptr) uid = cardUid(*card);
  // A card that left, or another one put in its place (even one with the same UID), comes in
  // unpowered: not selected, not authenticated, not halted.
  if (uid != powered_ || cardFile_.cardChanges() != cardChangesSeen_) {
    powerOff();
    powered_ = uid;
    cardChangesSeen_ = cardFile_.cardChanges();
  }
  return card;
}

void Field::powerOff() {
  powered_.reset();
  selected_ = false;
  halted_ = false;
  openSector_.reset();
}

bool Field::selectedPresent() {
  return present() != nullptr && selected_ && !halted_;
}

std::optional<Bytes> Field::list(std::span<const std::uint8_t> uid) {
  const Card* card = present();
  if (card == nullptr) return std::nullopt;
  const Uid cardId = cardUid(*card);
  if (!uid.empty() && !std::equal(uid.begin(), uid.end(), cardId.begin(), cardId.end())) {
    return std::nullopt;
  }
  // Listing sends WUPA, which a halted card answers too.
  selected_ = true;
  halted_ = false;
  openSector_.reset();
  Bytes answer = {0x01};
  if (card->type == CardType::Mifare1K) {
    answer.insert(answer.end(), {0x00, 0x04, 0x08});
  } else {
    answer.insert(answer.end(), {0x00, 0x44, 0x00});
  }
  answer.push_back(static_cast<std::uint8_t>(cardId.size()));
  answer.insert(answer.end(), cardId.begin(), cardId.end());
  return answer;
}

Bytes Field::exchange(std::uint8_t target, std::span<const std::uint8_t> command) {
  if (target != 1 || !selected_) return status(Status::WrongContext);
  if (command.empty()) return status(Status::InvalidParameter);
  const Card* card = present();
  if (card == nullptr || halted_) return status(Status::Timeout);
  switch (command[0]) {
    case kAuthenticateA:
    case kAuthenticateB:
      if (command.size() != kAuthenticateLength) return status(Status::InvalidParameter);
      return authenticate(*card, command);
    case kRead:
      if (command.size() != 2) break;
      return read(*card, command[1]);
    case kWrite:
      if (command.size() != 2 + kReadLength) break;
      return write(*card, command[1], command.subspan(2));
    case kUltralightWrite:
      if (command.size() != 2 + 4 || card->type != CardType::MifareUltralight) break;
      return write(*card, command[1], command.subspan(2));
    case kHalt:
      return halt();
    default:
      break;
  }
  return halt();  // a command the chip does not know: it falls silent until woken
}

Bytes Field::communicateThru(std::span<const std::uint8_t> command) {
  const Card* card = present();
  if (card == nullptr || !selected_ || halted_ || command.empty()) return status(Status::Timeout);
  // A Classic chip wants the crypto started first, which only InDataExchange does.
  const bool plain =
      card->type == CardType::MifareUltralight &&
      (command[0] == kRead || command[0] == kWrite || command[0] == kUltralightWrite);
  return plain ? exchange(1, command) : halt();
}

Bytes Field::halt() {
  halted_ = true;
  openSector_.reset();
  return status(Status::Timeout);
}

Bytes Field::authenticate(const Card& card, std::span<const std::uint8_t> command) {
  const std::size_t block = command[1];
  if (card.type != CardType::Mifare1K) return halt();
  if (block >= card.blocks.size()) {
    halt();
    return status(Status::AuthError);
  }
  const std::size_t sector = mifareSector(block);
  const auto& trailer = card.blocks[sector * kMifareBlocksPerSector + kMifareBlocksPerSector - 1];
  const auto cardKey = trailer.begin() + (command[0] == kAuthenticateA ? 0 : kKeyBOffset);
  const auto key = command.subspan(2, kKeyLength);
  const auto uid = command.subspan(2 + kKeyLength);
  const Uid cardId = cardUid(card);
  // The UID enters the cipher, so a wrong one fails as a wrong key does.
  if (!std::equal(key.begin(), key.end(), cardKey) ||
      !std::equal(uid.begin(), uid.end(), cardId.begin())) {
    halt();
    return status(Status::AuthError);
  }
  openSector_ = sector;
  return status(Status::Ok);
}

Bytes Field::read(const Card& card, std::size_t block) {
  const bool classic = card.type == CardType::Mifare1K;
  if (block >= card.blocks.size() || (classic && openSector_ != mifareSector(block))) {
    halt();
    return status(Status::AuthError);
  }
  Bytes answer = status(Status::Ok);
  const Bytes bytes = chipRead(card, block);
  answer.insert(answer.end(), bytes.begin(), bytes.end());
  return answer;
}

Bytes Field::write(const Card& card, std::size_t block, std::span<const std::uint8_t> data) {
  const bool classic = card.type == CardType::Mifare1K;
  if (block >= card.blocks.size() || (classic && openSector_ != mifareSector(block)) ||
      isReadOnlyBlock(card.type, block)) {
    halt();
    return status(Status::AuthError);
  }
  Card changed = card;  // `card` lives in the card file's reading, which the save replaces
  auto& target = changed.blocks[block];
  std::copy_n(data.begin(), target.size(), target.begin());
  try {
    cardFile_.save(changed);
  } catch (const CardFileError& error) {
    // Every failed save is told: to the host the card simply did not answer.
    warnings_ << "keycard-emulator: " << error.what() << " (the card does not answer)\n";
    return status(Status::Timeout);
  }
  ++writes_;
  return status(Status::Ok);
}

}  // namespace keycard::emulator::pn532
