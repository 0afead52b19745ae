#include "emulator/pcsc/ContactlessReader.h"

#include <algorithm>
#include <ostream>

namespace keycard::emulator {

namespace {

using apdu::kBuzzer;
using apdu::kKeyA;
using apdu::kKeyB;
constexpr std::ptrdiff_t kKeyBOffset = 10;  // in a Mifare sector trailer
constexpr std::size_t kReadLength = 16;     // what READ BINARY returns on both chips
// The slot an Identiv-family reader keeps key A in, as Authenticate names it.
constexpr std::size_t kKeyTypeSlot = 1;

struct FamilyRules {
  std::uint8_t loadWhere;   // Load Keys' P1
  bool slotNamedByKeyType;  // Load Keys' P2 is the key type, not a number
  StatusWord keyRefusal;    // to a key slot or form it does not offer
  StatusWord writeRefusal;  // when the card does not take a write
};

FamilyRules rulesOf(ReaderFamily family) {
  switch (family) {
    case ReaderFamily::Identiv:
      return {apdu::kVolatileKey, true, StatusWord::KeyNotAccepted, StatusWord::MemoryFailure};
    case ReaderFamily::Omnikey:
      return {apdu::kNonVolatileKey, false, StatusWord::NotAllowed, StatusWord::NotAllowed};
    case ReaderFamily::Acs:
      break;
  }
  return {apdu::kVolatileKey, false, StatusWord::WrongParameters, StatusWord::Failed};
}

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
  std::array<std::uint8_t, 2> cardName{};
  switch (type) {
    case CardType::Mifare1K:
      cardName = {0x00, 0x01};
      break;
    case CardType::Mifare4K:
      cardName = {0x00, 0x02};
      break;
    case CardType::MifarePlusSl1:
      cardName = {0x00, 0x36};
      break;
    case CardType::MifareSak88:
      cardName = {0xFF, mifareSak(type)};
      break;
    case CardType::MifareUltralight:
      cardName = {0x00, 0x03};
      break;
    case CardType::T5557:
    case CardType::EM4469:
      return {};
  }
  // Direct convention, T=1, fifteen historical bytes: the PC/SC registered application
  // identifier with the card's standard and name, then the check byte (all bytes after the
  // first XORed).
  Bytes atr{0x3B, 0x8F, 0x80, 0x01,        0x80,        0x4F, 0x0C, 0xA0, 0x00, 0x00,
            0x03, 0x06, 0x03, cardName[0], cardName[1], 0x00, 0x00, 0x00, 0x00};
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
    case StatusWord::EndBeforeLe:
      return "fewer bytes than Le";
    case StatusWord::Failed:
      return "failed";
    case StatusWord::MemoryFailure:
      return "memory failure";
    case StatusWord::SecurityNotSatisfied:
      return "security status not satisfied";
    case StatusWord::AuthenticationBlocked:
      return "authentication blocked";
    case StatusWord::NotAllowed:
      return "command not allowed";
    case StatusWord::KeyNotAccepted:
      return "key slot not offered";
    case StatusWord::WrongP1P2:
      return "wrong P1 P2";
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

ContactlessReader::ContactlessReader(std::filesystem::path cardFile, std::ostream& warnings,
                                     ReaderFamily family)
    : cardFile_(std::move(cardFile)), warnings_(warnings), family_(family) {}

void ContactlessReader::resetCard() {
  openSector_.reset();
  openedWithKeyB_ = false;
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
  if (!isMifareClassic(card.type)) return true;  // an Ultralight has no keys
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
  if (command[2] == apdu::kAtsData && command[3] == 0) return reply(StatusWord::NotSupported);
  if (command[2] != apdu::kUidData || command[3] != 0) return reply(StatusWord::WrongParameters);
  const auto card = presentCard();
  if (!card) return reply(StatusWord::Failed);
  Bytes uid = cardUid(*card);
  // Le 00 asks for all of it; more than there is gets all with a warning, less a 6C naming the
  // length.
  const std::size_t le = command[4];
  if (le != 0 && le < uid.size()) return wrongLe(uid.size());
  const StatusWord word = le > uid.size() ? StatusWord::EndBeforeLe : StatusWord::Ok;
  return reply(word, std::move(uid));
}

std::optional<std::size_t> ContactlessReader::loadSlot(std::uint8_t where,
                                                       std::uint8_t name) const {
  const FamilyRules rules = rulesOf(family_);
  if (where != rules.loadWhere) return std::nullopt;
  if (rules.slotNamedByKeyType) return name == kKeyA ? std::optional(kKeyTypeSlot) : std::nullopt;
  return name < keySlots_.size() ? std::optional<std::size_t>(name) : std::nullopt;
}

std::optional<std::size_t> ContactlessReader::authenticateSlot(std::uint8_t keyType,
                                                               std::uint8_t number) const {
  if (rulesOf(family_).slotNamedByKeyType) {
    return keyType == kKeyA && number == kKeyTypeSlot ? std::optional(kKeyTypeSlot) : std::nullopt;
  }
  return number < keySlots_.size() ? std::optional<std::size_t>(number) : std::nullopt;
}

Bytes ContactlessReader::loadKey(std::span<const std::uint8_t> command) {
  if (!dataFits(command) || command[4] != Key{}.size()) return reply(StatusWord::WrongLength);
  const std::optional<std::size_t> slot = loadSlot(command[2], command[3]);
  if (!slot) return reply(rulesOf(family_).keyRefusal);
  Key key{};
  std::copy_n(command.begin() + 5, key.size(), key.begin());
  keySlots_[*slot] = key;
  return reply(StatusWord::Ok);
}

Bytes ContactlessReader::authenticate(std::span<const std::uint8_t> command) {
  // FF 86 00 00 05 | version, block MSB, block LSB, key type, key slot
  if (!dataFits(command) || command[4] != apdu::kAuthenticateLength) {
    return reply(StatusWord::WrongLength);
  }
  const auto data = command.subspan(5);
  const std::uint8_t keyType = data[3];
  if (command[2] != 0 || command[3] != 0 || data[0] != apdu::kAuthenticateVersion ||
      (keyType != kKeyA && keyType != kKeyB)) {
    return reply(StatusWord::WrongParameters);
  }
  const std::optional<std::size_t> slot = authenticateSlot(keyType, data[4]);
  if (!slot) return reply(rulesOf(family_).keyRefusal);
  const auto card = presentCard();
  if (!card) return reply(StatusWord::Failed);
  const std::size_t block = static_cast<std::size_t>(data[1]) << 8 | data[2];
  if (block >= card->blocks.size()) return reply(StatusWord::NoSuchBlock);
  if (!isMifareClassic(card->type)) return reply(StatusWord::Failed);  // no keys to check
  if (halted_) return reply(StatusWord::Failed);

  openSector_.reset();
  const auto& trailer = card->blocks[mifareTrailerOf(block)];
  const auto cardKey = trailer.begin() + (keyType == kKeyA ? 0 : kKeyBOffset);
  const auto& loaded = keySlots_[*slot];
  if (!loaded || !std::equal(loaded->begin(), loaded->end(), cardKey)) {
    halted_ = true;
    return reply(StatusWord::Failed);
  }
  openSector_ = mifareSector(block);
  openedWithKeyB_ = keyType == kKeyB;
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

  return reply(StatusWord::Ok, chipRead(*card, block));
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
  // The sector open, the chip itself refuses a block its access bits keep from this key.
  if (isMifareClassic(card->type) && !mifareKeyMayWrite(*card, block, openedWithKeyB_)) {
    return reply(rulesOf(family_).writeRefusal);
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
