// What an emulated reader answers: one reply frame for every request frame, worked out against
// the card file lying on it. No I/O but the card file.
#pragma once

#include <cstddef>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string_view>

#include "emulator/ReaderKinds.h"
#include "emulator/card/Card.h"
#include "emulator/card/CardFile.h"
#include "link/Frame.h"

namespace keycard::emulator {

std::string_view versionText(ReaderKind kind);
std::string_view commandName(std::uint8_t command);  // with or without the reply bit
std::string_view statusName(std::uint8_t status);

class Reader {
 public:
  // Problems with the card file go to `warnings`, each once while it lasts. A file that cannot
  // be read or is not a card is NoCard to the driver, as if the card had left the field; a save
  // that fails is WriteFailed.
  Reader(ReaderKind kind, std::filesystem::path cardFile, std::ostream& warnings);

  link::Frame answer(const link::Frame& request);

  // Another card took the place of the one in the field (the swap fault). Told rather than seen:
  // a T5557 carries no UID, so its copy would look the same.
  void cardReplaced();

 private:
  using Payload = std::vector<std::uint8_t>;

  Payload selectCard(const Payload& args);
  Payload readBlock(const Payload& args);
  Payload writeBlock(const Payload& args);
  Payload authenticate(const Payload& args);

  // The card on the reader when it is one this reader works with (valid until the next look at
  // the card file), or the status to answer.
  struct CardOrStatus {
    const Card* card = nullptr;
    link::Status status = link::Status::Ok;
  };
  CardOrStatus presentCard();
  // presentCard, for the commands that work on the selected card only.
  CardOrStatus selectedCard();
  bool worksOn(CardType type) const;
  bool mayAccess(std::size_t block) const;

  void warn(const std::string& problem, std::string_view answer);

  ReaderKind kind_;
  CardFile cardFile_;
  std::ostream& warnings_;
  std::string lastProblem_;  // warned about already
  // Mifare: the sector the last Authenticate opened; any selection or failure closes it.
  std::optional<std::size_t> authenticatedSector_;
  // The card the last SelectCard found, by the card file's count of card changes: a card that
  // comes into the field afterwards is unselected, and reads, writes and authentications are
  // refused until it is selected.
  std::optional<std::uint64_t> selectedCard_;
};

}  // namespace keycard::emulator
