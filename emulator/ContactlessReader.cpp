#include "emulator/ContactlessReader.h"

#include <algorithm>
#include <ostream>

namespace keycard::emulator {

namespace {

constexpr std::uint8_t kBuzzer = 0x40;               // P1 of the escape that sounds the buzzer
constexpr std::uint8_t kUidData = 0x00;              // P1 of GET DATA: the UID
constexpr std::uint8_t kAtsData = 0x01;              // P1 of GET DATA: the ISO 14443-4 ATS
constexpr std::uint8_t kVolatileKey = 0x00;          // P1 of LOAD KEY
constexpr std::uint8_t kAuthenticateVersion = 0x01;  // first byte of AUTHENTICATE's data
constexpr std::uint8_t kKeyA = 0x60;
constexpr std::uint8_t kKeyB = 0x61;
constexpr std::ptrdiff_t kKeyBOffset = 10;  // in a Mifare sector trailer
constexpr std::size_t kReadLength = 16;     // what READ BINARY returns on both chips
constexpr std::uint8_t kUltralightCardName = 0x03;
constexpr std::uint8_t kClassic1KCardName = 0x01;

Bytes reply(StatusWord word, Bytes data = {}) {
  const auto value = static_cast<std::uint16_t>(word);
  data.push_back(static_cast<std::uint8_t>(value >> 8));
  data.push_back(static_cast<std::uint8_t>(value));
  return data;
}

// 6C XX: the host asked for the wrong number of bytes; XX is how many there are.
Bytes wrongLe(std::size_t available) {
  return {static_cast<std::uint8_t>(static_cast<std::uint16_t>(StatusWord::WrongLe) >> 8),
          static_cast<std::uint8_t>(available)};
}

// Case 3 (Lc and data): Lc is there and counts exactly the bytes that follow.
bool dataFits(std::span<const std::uint8_t> command) {
  return command.size() >= 5 && command.size() == 5u + command[4];
}

std::size_t blockAddress(std::span<const std::uint8_t> command) {
  return static_cast<std::size_t>(command[2]) << 8 | command[3];
}

}  // namespace

Bytes answerToReset(CardType type) {
  std::uint8_t cardName = 0;
  switch (type) {
    case CardType::Mifare1K:
      cardName = kClassic1KCardName;
      break;
    case CardType::MifareUltralight:
      cardName = kUltralightCardName;
      break;
    case CardType::T5557:
    case CardType::EM4469:
      return {};
  }
  // Direct convention, T=1, fifteen historical bytes: the PC/SC registered application
  // identifier with the card's standard and name, then the check byte (all bytes after the
  // first XORed).
  Bytes atr{0x3B, 0x8F, 0x80, 0x01, 0x80,     0x4F, 0x0C, 0xA0, 0x00, 0x00,
            0x03, 0x06, 0x03, 0x00, cardName, 0x00, 0x00, 0x00, 0x00};
  std::uint8_t check = 0;
  for (std::size_t i = 1; i < atr.size(); ++i) check ^= atr[i];
  atr.push_back(check);
  return atr;
}

std::string_view instructionName(std::span<const std::uint8_t> command) {
  if (command.size() < 2 || command[0] != apdu::kClass) return "unknown class";
  switch (command[1]) {
    case apdu::kEscape:
      return command.size() > 2 && command[2] == kBuzzer ? "BUZZER" : "ESCAPE";
    case apdu::kGetData:
      return "GET DATA";
    case apdu::kLoadKey:
      return "LOAD KEY";
    case apdu::kAuthenticate:
      return "AUTHENTICATE";
    case apdu::kReadBinary:
      return "READ BINARY";
    case apdu::kUpdateBinary:
      return "UPDATE BINARY";
    default:
      return "unknown instruction";
  }
}

std::string_view statusWordName(std::span<const std::uint8_t> response) {
  if (response.size() < 2) return "no status word";
  const std::uint8_t high = response[response.size() - 2];
  if (high == static_cast<std::uint16_t>(StatusWord::WrongLe) >> 8) return "wrong Le";
  switch (static_cast<StatusWord>(high << 8 | response.back())) {
    case StatusWord::Ok:
      return "success";
    case StatusWord::Failed:
      return "failed";
    case StatusWord::WrongLength:
      return "wrong length";
    case StatusWord::WrongParameters:
      return "wrong parameters";
    case StatusWord::NotSupported:
      return "function not supported";
    case StatusWord::NoSuchBlock:
      return "no such block";
    case StatusWord::UnknownInstruction:
      return "unknown instruction";
    case StatusWord::UnknownClass:
      return "unknown class";
    case StatusWord::WrongLe:
      break;
  }
  return "unknown status word";
}

ContactlessReader::ContactlessReader(std::filesystem::path cardFile, std::ostream& warnings)
    : cardFile_(std::move(cardFile)), warnings_(warnings) {}

void ContactlessReader::resetCard() {
  openSector_.reset();
  halted_ = false;
}

Bytes ContactlessReader::answer(std::span<const std::uint8_t> command) {
  if (command.size() < 2) return reply(StatusWord::WrongLength);
  if (command[0] != apdu::kClass) return reply(StatusWord::UnknownClass);
  using Handler = Bytes (ContactlessReader::*)(std::span<const std::uint8_t>);
  Handler handler = nullptr;
  switch (command[1]) {
    case apdu::kEscape:
      handler = &ContactlessReader::escape;
      break;
    case apdu::kGetData:
      handler = &ContactlessReader::getData;
      break;
    case apdu::kLoadKey:
      handler = &ContactlessReader::loadKey;
      break;
    case apdu::kAuthenticate:
      handler = &ContactlessReader::authenticate;
      break;
    case apdu::kReadBinary:
      handler = &ContactlessReader::readBinary;
      break;
    case apdu::kUpdateBinary:
      handler = &ContactlessReader::updateBinary;
      break;
    default:
      return reply(StatusWord::UnknownInstruction);
  }
  // Every pseudo-APDU has P1, P2 and a length byte.
  if (command.size() < 5) return reply(StatusWord::WrongLength);
  return (this->*handler)(command);
}

void ContactlessReader::warn(const std::string& problem) {
  if (problem == lastProblem_) return;
  lastProblem_ = problem;
  if (!problem.empty()) warnings_ << "keycard-emulator: " << problem << " (answering 63 00)\n";
}

std::optional<Card> ContactlessReader::presentCard() {
  const CardFile::Reading& reading = cardFile_.look();
  warn(reading.problem);
  std::optional<Card> card = reading.card;
  if (card && answerToReset(card->type).empty()) card.reset();  // a chip this reader cannot see
  // A card that left the field, or another that took its place, starts afresh.
  if (!card || cardChanges_ != cardFile_.cardChanges()) resetCard();
  cardChanges_ = cardFile_.cardChanges();
  return card;
}

bool ContactlessReader::mayAccess(const Card& card, std::size_t block) const {
  if (card.type != CardType::Mifare1K) return true;  // an Ultralight has no keys
  return !halted_ && openSector_ == mifareSector(block);
}

Bytes ContactlessReader::escape(std::span<const std::uint8_t> command) {
  // Of the reader's escape commands only the buzzer is offered; it changes nothing here.
  if (command[2] != kBuzzer) return reply(StatusWord::NotSupported);
  if (!dataFits(command) || command[4] != 4) return reply(StatusWord::WrongLength);
  return reply(StatusWord::Ok);
}

Bytes ContactlessReader::getData(std::span<const std::uint8_t> command) {
  if (command.size() != 5) return reply(StatusWord::WrongLength);
  if (command[2] == kAtsData && command[3] == 0) return reply(StatusWord::NotSupported);
  if (command[2] != kUidData || command[3] != 0) return reply(StatusWord::WrongParameters);
  const auto card = presentCard();
  if (!card) return reply(StatusWord::Failed);
  Bytes uid = cardUid(*card);
  const std::size_t le = command[4];
  if (le != 0 && le != uid.size()) return wrongLe(uid.size());
  return reply(StatusWord::Ok, std::move(uid));
}

Bytes ContactlessReader::loadKey(std::span<const std::uint8_t> command) {
  if (!dataFits(command) || command[4] != Key{}.size()) return reply(StatusWord::WrongLength);
  if (command[2] != kVolatileKey || command[3] >= keySlots_.size()) {
    return reply(StatusWord::WrongParameters);
  }
  Key key{};
  std::copy_n(command.begin() + 5, key.size(), key.begin());
  keySlots_[command[3]] = key;
  return reply(StatusWord::Ok);
}

Bytes ContactlessReader::authenticate(std::span<const std::uint8_t> command) {
  // FF 86 00 00 05 | version, block MSB, block LSB, key type, key slot
  if (!dataFits(command) || command[4] != 5) return reply(StatusWord::WrongLength);
  const auto data = command.subspan(5);
  const std::uint8_t keyType = data[3];
  const std::uint8_t slot = data[4];
  if (command[2] != 0 || command[3] != 0 || data[0] != kAuthenticateVersion ||
      (keyType != kKeyA && keyType != kKeyB) || slot >= keySlots_.size()) {
    return reply(StatusWord::WrongParameters);
  }
  const auto card = presentCard();
  if (!card) return reply(StatusWord::Failed);
  const std::size_t block = static_cast<std::size_t>(data[1]) << 8 | data[2];
  if (block >= card->blocks.size()) return reply(StatusWord::NoSuchBlock);
  if (card->type != CardType::Mifare1K) return reply(StatusWord::Failed);  // no keys to check
  if (halted_) return reply(StatusWord::Failed);

  openSector_.reset();
  const std::size_t sector = mifareSector(block);
  const auto& trailer = card->blocks[sector * kMifareBlocksPerSector + kMifareBlocksPerSector - 1];
  const auto cardKey = trailer.begin() + (keyType == kKeyA ? 0 : kKeyBOffset);
  const auto& loaded = keySlots_[slot];
  if (!loaded || !std::equal(loaded->begin(), loaded->end(), cardKey)) {
    halted_ = true;
    return reply(StatusWord::Failed);
  }
  openSector_ = sector;
  return reply(StatusWord::Ok);
}

Bytes ContactlessReader::readBinary(std::span<const std::uint8_t> command) {
  if (command.size() != 5) return reply(StatusWord::WrongLength);
  const auto card = presentCard();
  if (!card) return reply(StatusWord::Failed);
  const std::size_t block = blockAddress(command);
  if (block >= card->blocks.size()) return reply(StatusWord::NoSuchBlock);
  if (command[4] != 0 && command[4] != kReadLength) return wrongLe(kReadLength);
  if (!mayAccess(*card, block)) return reply(StatusWord::Failed);

  Bytes bytes;
  if (card->type == CardType::Mifare1K) {
    bytes = card->blocks[block];
    // A Mifare card never gives its key A away: a trailer reads with zeros in its place.
    if (isMifareTrailer(block)) std::fill_n(bytes.begin(), Key{}.size(), 0);
  } else {
    // An Ultralight reads four pages at once, wrapping round to page 0 past the last.
    for (std::size_t i = 0; bytes.size() < kReadLength; ++i) {
      const auto& page = card->blocks[(block + i) % card->blocks.size()];
      bytes.insert(bytes.end(), page.begin(), page.end());
    }
  }
  return reply(StatusWord::Ok, std::move(bytes));
}

Bytes ContactlessReader::updateBinary(std::span<const std::uint8_t> command) {
  if (!dataFits(command)) return reply(StatusWord::WrongLength);
  auto card = presentCard();
  if (!card) return reply(StatusWord::Failed);
  const std::size_t block = blockAddress(command);
  if (block >= card->blocks.size()) return reply(StatusWord::NoSuchBlock);
  if (command[4] != blockSize(card->type)) return reply(StatusWord::WrongLength);
  if (!mayAccess(*card, block) || isReadOnlyBlock(card->type, block)) {
    return reply(StatusWord::Failed);
  }
  std::copy(command.begin() + 5, command.end(), card->blocks[block].begin());
  try {
    cardFile_.save(*card);
  } catch (const CardFileError& error) {
    warn(error.what());
    return reply(StatusWord::Failed);
  }
  return reply(StatusWord::Ok);
}

}  // namespace keycard::emulator
