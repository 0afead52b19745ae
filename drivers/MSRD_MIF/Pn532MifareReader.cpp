#include "drivers/MSRD_MIF/Pn532MifareReader.h"

#include <algorithm>

#include "drivers/DriverApi.h"
#include "drivers/MSRD_MIF/ClassicCompatible.h"
#include "drivers/MSRD_MIF/Pn532Target.h"
#include "link/Errors.h"
#include "link/Pn532Exchange.h"

namespace keycard::drivers {

namespace {

using link::pn532::Command;

constexpr std::uint8_t kPn532Ic = 0x32;
constexpr std::uint8_t kMifareAuthKeyA = 0x60;
constexpr std::uint8_t kMifareRead = 0x30;
constexpr std::uint8_t kMifareWrite = 0xA0;

// The board's status byte for a failed exchange with the card: the card gone (no answer, or an
// answer spoiled as a card leaving the field spoils it), the key refused, or the board's refusal.
std::int32_t errorForTargetStatus(std::uint8_t status) {
  switch (status & 0x3F) {  // the two high bits flag chaining, not failures
    case 0x00:
      return 0;
    case 0x14:
      return link::kErrAuth;
    case 0x01:  // the card did not answer
    case 0x02:  // CRC
    case 0x03:  // parity
    case 0x05:  // framing
    case 0x0B:  // RF protocol
    case 0x29:  // the target was released
    case 0x2A:  // another card took its place
    case 0x2B:  // the card left
    case 0x27:  // no card selected: the one listed left, and another may lie there unlisted
      return link::kErrNoCard;
    default:
      return link::kErrReader;
  }
}

}  // namespace

std::int32_t Pn532MifareReader::open(const std::string& path, const char* caller) {
  close();
  std::int32_t result = line_.open(path, caller, link::kPn532BaudRate);
  if (result != 0) return result;
  const link::OperationScope bounded(line_);
  result = link::pn532::wakeUp(line_);
  std::vector<std::uint8_t> version;
  if (result == 0) result = link::pn532::exchange(line_, Command::GetFirmwareVersion, {}, version);
  if (result == 0 && version.size() != 4) result = link::kErrFrame;
  if (result == 0 && version[0] != kPn532Ic) {
    result = refuse(link::kErrReader, caller, "the board on %s is no PN532 (its chip is 0x%02X)",
                    path.c_str(), version[0]);
  }
  if (result != 0) {
    line_.close();
    return result;
  }
  awake_ = true;
  return 0;
}

void Pn532MifareReader::close() {
  line_.close();
  awake_ = false;
  listed_ = false;
}

std::int32_t Pn532MifareReader::command(Command code, std::span<const std::uint8_t> data,
                                        std::vector<std::uint8_t>& answer) {
  // A board that missed an answer may have been powered off and on: it sleeps again.
  if (!awake_) {
    const std::int32_t woken = link::pn532::wakeUp(line_);
    if (woken != 0) return woken;
    awake_ = true;
  }
  const std::int32_t result = link::pn532::exchange(line_, code, data, answer);
  if (result == link::kErrTimeout) awake_ = false;
  return result;
}

std::int32_t Pn532MifareReader::selectCard(SelectedCard& card) {
  std::vector<std::uint8_t> answer;
  // Listing replaces the card the board held before (authenticated, or halted by a refused key:
  // the board wakes a halted card), so an operation after a refused key needs nothing more.
  listed_ = false;
  const std::uint8_t oneTypeACard[] = {0x01, 0x00};  // one target, 106 kbps type A
  std::int32_t result = command(Command::InListPassiveTarget, oneTypeACard, answer);
  if (result != 0) return result;
  if (answer.empty()) return link::kErrFrame;
  if (answer[0] == 0) return link::kErrNoCard;
  const std::optional<ListedTarget> target = listedTarget(answer);
  if (!target) return link::kErrFrame;
  listed_ = true;
  // A Classic card with a longer UID authenticates with its last four bytes.
  std::copy(target->uid.end() - 4, target->uid.end(), authUid_.begin());
  card.hasClassicSector1 = isClassicCompatibleSak(target->sak);
  card.uid.assign(target->uid.begin(), target->uid.end());
  return 0;
}

std::int32_t Pn532MifareReader::toCard(std::span<const std::uint8_t> mifare,
                                       std::vector<std::uint8_t>& answer) {
  if (!listed_) return link::kErrNoCard;
  std::vector<std::uint8_t> data{kPn532Target};
  data.insert(data.end(), mifare.begin(), mifare.end());
  const std::int32_t result = command(Command::InDataExchange, data, answer);
  if (result != 0) return result;
  if (answer.empty()) return link::kErrFrame;
  const std::int32_t failure = errorForTargetStatus(answer[0]);
  if (failure == link::kErrNoCard) listed_ = false;
  answer.erase(answer.begin());
  return failure;
}

std::int32_t Pn532MifareReader::authenticateKeyA(std::uint8_t block, const MifareKey& key) {
  std::vector<std::uint8_t> request{kMifareAuthKeyA, block};
  request.insert(request.end(), key.begin(), key.end());
  request.insert(request.end(), authUid_.begin(), authUid_.end());
  std::vector<std::uint8_t> answer;
  const std::int32_t result = toCard(request, answer);
  if (result != 0) return result;
  return answer.empty() ? 0 : link::kErrFrame;
}

std::int32_t Pn532MifareReader::readBlock(std::uint8_t block, link::MifareBlock& data) {
  const std::uint8_t request[] = {kMifareRead, block};
  std::vector<std::uint8_t> answer;
  const std::int32_t result = toCard(request, answer);
  if (result != 0) return result;
  if (answer.size() != data.size()) return link::kErrFrame;
  std::copy(answer.begin(), answer.end(), data.begin());
  return 0;
}

std::int32_t Pn532MifareReader::writeBlock(std::uint8_t block, const link::MifareBlock& data) {
  std::vector<std::uint8_t> request{kMifareWrite, block};
  request.insert(request.end(), data.begin(), data.end());
  std::vector<std::uint8_t> answer;
  const std::int32_t result = toCard(request, answer);
  if (result != 0) return result;
  return answer.empty() ? 0 : link::kErrFrame;
}

std::int32_t Pn532MifareReader::beep(std::uint8_t /*value*/) {
  return line_.isOpen() ? 0 : link::kErrNotOpen;
}

}  // namespace keycard::drivers
