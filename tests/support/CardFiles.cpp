#include <stdexcept>

#include "EmulatorProcess.h"
#include "emulator/CardFile.h"

namespace keycard::testing {

namespace emu = keycard::emulator;

namespace {

emu::Card load(const std::filesystem::path& file) {
  auto card = emu::loadCard(file);
  if (!card) throw std::runtime_error("no card file " + file.string());
  return *card;
}

}  // namespace

void newCard(const std::string& type, const std::filesystem::path& file,
             std::optional<std::string> recordHex48) {
  const auto cardType = emu::parseCardType(type);
  if (!cardType) throw std::runtime_error("unknown card type '" + type + "'");
  emu::Card card = emu::blankCard(*cardType, emu::uidSeedFor(file));
  if (recordHex48) {
    const auto record = emu::recordFromHex(*recordHex48);
    if (!record) throw std::runtime_error("a record is 48 hex digits, not '" + *recordHex48 + "'");
    emu::setCardRecord(card, *record);
  }
  emu::saveCard(file, card);
}

std::string cardRecord(const std::filesystem::path& file) {
  return emu::toHex(emu::cardRecord(load(file)));
}

std::string cardBlock(const std::filesystem::path& file, int n) {
  return emu::toHex(load(file).blocks.at(static_cast<std::size_t>(n)));
}

}  // namespace keycard::testing
