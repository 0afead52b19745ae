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

#include "emulator/ReaderKinds.h"
#include "emulator/card/Card.h"
#include "emulator/card/CardFile.h"
#include "link/StorageCardApdu.h"

namespace keycard::emulator {

using Bytes = std::vector<std::uint8_t>;

using link::apdu::StatusWord;
namespace apdu = link::apdu;

// The answer to reset a contactless reader builds for a storage card (standard 03 = ISO 14443A
// part 3; card name 00 01 = Mifare Classic 1K, 00 02 = 4K, 00 36 = Plus SL1 2K, 00 03 =
// Ultralight; FF 88 for the SAK-88 chip, which readers know by its SAK alone). Empty for a card a
// 13.56 MHz reader cannot see (the 125 kHz chips).
Bytes answerToReset(CardType type);

// For the traffic log: "READ BINARY", "LOAD KEY", ... and what a response's status word means.
std::string_view instructionName(std::span<const std::uint8_t> command);
std::string_view statusWordName(std::span<const std::uint8_t> response);

class ContactlessReader {
 public:
  // Problems with the card file go to `warnings`, each once while it lasts; the host sees 63 00,
  // as from a card that left.
  ContactlessReader(std::filesystem::path cardFile, std::ostream& warnings,
                    ReaderFamily family = ReaderFamily::Acs);

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
  // Whether the chip lets the host at `block` now (a Mifare Classic only within the open sector).
  bool mayAccess(const Card& card, std::size_t block) const;
  // The key slot Load Keys' P1 and P2 name in this family, or nothing.
  std::optional<std::size_t> loadSlot(std::uint8_t where, std::uint8_t name) const;
  // The key slot Authenticate's key type and key number name in this family, or nothing.
  std::optional<std::size_t> authenticateSlot(std::uint8_t keyType, std::uint8_t number) const;

  CardFile cardFile_;
  std::ostream& warnings_;
  ReaderFamily family_;
  std::string lastProblem_;                     // warned about already
  std::array<std::optional<Key>, 2> keySlots_;  // the reader's key slots 00 and 01
  std::optional<std::size_t> openSector_;
  // The card file's count of card changes when the chip was last looked at: a card that takes the
  // place of another, with no removal the host sees, starts unauthenticated.
  std::uint64_t cardChanges_ = 0;
  bool openedWithKeyB_ = false;
  // A Mifare chip that refused an authentication answers nothing more until it is reset.
  bool halted_ = false;
};

}  // namespace keycard::emulator
