// The card in a PN532 board's RF field, as the board's initiator commands meet it: listing it
// (106 kbps type A), then the Mifare commands the host passes through to it. No I/O but the card
// file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "emulator/card/Card.h"
#include "emulator/card/CardFile.h"

namespace keycard::emulator::pn532 {

using Bytes = std::vector<std::uint8_t>;

// The status byte that starts an InDataExchange or InCommunicateThru answer.
enum class Status : std::uint8_t {
  Ok = 0x00,
  Timeout = 0x01,  // the card did not answer: gone, halted, or a command it ignores
  InvalidParameter = 0x10,
  AuthError = 0x14,     // a refused key, or a block the chip would not let the host at
  WrongContext = 0x27,  // no target is selected
};

class Field {
 public:
  // Problems with the card file go to `warnings`, each once while it lasts; to the host the
  // card is simply not there.
  Field(std::filesystem::path cardFile, std::ostream& warnings);

  // InListPassiveTarget at 106 kbps type A: Tg, SENS_RES, SEL_RES, the UID's length and the
  // UID of the card in the field, now selected and unauthenticated; nullopt when there is none
  // (or it is not the card `uid` asks for). A halted card is woken.
  std::optional<Bytes> list(std::span<const std::uint8_t> uid);

  // A Mifare command to the selected target (Tg 1): the status, then the card's data.
  Bytes exchange(std::uint8_t target, std::span<const std::uint8_t> command);
  // Without the board's Mifare handling: the crypto is never started, so only an Ultralight's
  // plain reads and writes are answered.
  Bytes communicateThru(std::span<const std::uint8_t> command);

  // InDeselect, InRelease: the target is no longer selected.
  void release() { selected_ = false; }
  // RF off or power-down: the card loses power and forgets everything.
  void powerOff();
  // Whether the selected card is still there (Diagnose's attention test).
  bool selectedPresent();

  // Block writes the card took, for the tear fault.
  int writes() const { return writes_; }

 private:
  // The card in the field; a look that finds none (or another card) powers the old one off.
  const Card* present();
  Bytes authenticate(const Card& card, std::span<const std::uint8_t> command);
  Bytes read(const Card& card, std::size_t block);
  Bytes write(const Card& card, std::size_t block, std::span<const std::uint8_t> data);
  Bytes halt();

  CardFile cardFile_;
  std::ostream& warnings_;
  std::string lastProblem_;
  std::optional<Uid> powered_;         // the UID of the card that has been in the field all along
  std::uint64_t cardChangesSeen_ = 0;  // the card file's count of card changes at the last look
  bool selected_ = false;
  bool halted_ = false;
  std::optional<std::size_t> openSector_;
  int writes_ = 0;
};

}  // namespace keycard::emulator::pn532
