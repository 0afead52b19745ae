#include "drivers/MSRD_MIF/SerialMifareReader.h"

#include <utility>
#include <vector>

#include "link/Protocol.h"
#include "link/ReaderCommands.h"

namespace keycard::drivers {

std::int32_t SerialMifareReader::open(const std::string& path, const char* caller) {
  std::int32_t result = line_.open(path, caller);
  if (result == 0) result = link::getVersion(line_);
  if (result != 0) line_.close();
  return result;
}

std::int32_t SerialMifareReader::selectCard(SelectedCard& card) {
  std::uint8_t type = 0;
  std::vector<std::uint8_t> uid;
  const std::int32_t result = link::selectCard(line_, type, &uid);
  if (result != 0) return result;
  card.hasClassicSector1 = static_cast<link::CardType>(type) == link::CardType::Mifare1K;
  card.uid = std::move(uid);
  return 0;
}

std::int32_t SerialMifareReader::authenticateKeyA(std::uint8_t block, const MifareKey& key) {
  return link::authenticateKeyA(line_, block, key);
}

std::int32_t SerialMifareReader::readBlock(std::uint8_t block, link::MifareBlock& data) {
  return link::readBlock(line_, block, data);
}

std::int32_t SerialMifareReader::writeBlock(std::uint8_t block, const link::MifareBlock& data) {
  return link::writeBlock(line_, block, data);
}

std::int32_t SerialMifareReader::beep(std::uint8_t value) {
  return link::beep(line_, value);
}

}  // namespace keycard::drivers
