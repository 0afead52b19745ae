// A contactless PC/SC reader with a Mifare card on it, as a host sees both through pcscd: the
// reader's storage-card pseudo-APDUs (class FF) answered the way reader firmware and chip answer
// them together, against the card file. No I/O but the card file.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "emulator/Card.h"
#include "emulator/CardFile.h"

namespace keycard::emulator {

using Bytes = std::vector<std::uint8_t>;

// The two bytes that end every response.
enum class StatusWord : std::uint16_t {
  Ok = 0x9000,
  Failed = 0x6300,           // the chip refused or did not answer (wrong key, no authentication)
  WrongLength = 0x6700,      // Lc or the APDU's length does not fit the instruction
  WrongParameters = 0x6B00,  // P1, P2 or a field of the data out of range (key slot, key type)
  NotSupported = 0x6A81,     // a pseudo-APDU this reader does not offer
  NoSuchBlock = 0x6A82,      // a block beyond the card
  UnknownInstruction = 0x6D00,
  UnknownClass = 0x6E00,
  WrongLe = 0x6C00,  // the low byte says how many bytes there are
};

// The instructions of the storage-card pseudo-APDUs (class FF).
namespace apdu {
inline constexpr std::uint8_t kClass = 0xFF;
inline constexpr std::uint8_t kEscape = 0x00;  // P1 40: the buzzer and LEDs
inline constexpr std::uint8_t kGetData = 0xCA;
inline constexpr std::uint8_t kLoadKey = 0x82;
inline constexpr std::uint8_t kAuthenticate = 0x86;
inline constexpr std::uint8_t kReadBinary = 0xB0;
inline constexpr std::uint8_t kUpdateBinary = 0xD6;
}  // namespace apdu

// The answer to reset a contactless reader builds for a storage card (standard 03 = ISO 14443A
// part 3; card name 00 01 = Mifare Classic 1K, 00 03 = Ultralight). Empty for a card a 13.56 MHz
// reader cannot see (the 125 kHz chips).
Bytes answerToReset(CardType type);

// For the traffic log: "READ BINARY", "LOAD KEY", ... and what a response's status word means.
std::string_view instructionName(std::span<const std::uint8_t> command);
std::string_view statusWordName(std::span<const std::uint8_t> response);

class ContactlessReader {
 public:
  // Problems with the card file go to `warnings`, each once while it lasts; the host sees 63 00,
  // as from a card that left.
  ContactlessReader(std::filesystem::path cardFile, std::ostream& warnings);

  // The response APDU: data, then the status word.
  Bytes answer(std::span<const std::uint8_t> command);

  // Power off, power on, reset: the chip starts afresh (no sector open, no longer halted). The
  // keys loaded into the reader stay.
  void resetCard();

 private:
  using Key = link::MifareKey;

  Bytes getData(std::span<const std::uint8_t> command);
  Bytes loadKey(std::span<const std::uint8_t> command);
  Bytes authenticate(std::span<const std::uint8_t> command);
  Bytes readBinary(std::span<const std::uint8_t> command);
  Bytes updateBinary(std::span<const std::uint8_t> command);
  Bytes escape(std::span<const std::uint8_t> command);

  std::optional<Card> presentCard();
  void warn(const std::string& problem);
  // Whether the chip lets the host at `block` now (a Mifare 1K only within the open sector).
  bool mayAccess(const Card& card, std::size_t block) const;

  CardFile cardFile_;
  std::ostream& warnings_;
  std::string lastProblem_;                     // warned about already
  std::array<std::optional<Key>, 2> keySlots_;  // the reader's volatile key slots 00 and 01
  std::optional<std::size_t> openSector_;
  // A Mifare chip that refused an authentication answers nothing more until it is reset.
  bool halted_ = false;
};

}  // namespace keycard::emulator
