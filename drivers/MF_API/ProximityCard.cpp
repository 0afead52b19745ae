#include "drivers/MF_API/ProximityCard.h"

#include <algorithm>
#include <span>
#include <utility>
#include <vector>

#include "drivers/SameCard.h"
#include "link/Errors.h"
#include "link/Protocol.h"
#include "link/ReaderCommands.h"

namespace keycard::drivers {

using link::CardType;
using link::SerialLine;

namespace {

// What selecting the card told: where its record starts and the card's UID.
struct SelectedCard {
  std::uint8_t firstRecordBlock = 0;
  std::vector<std::uint8_t> uid;
};

std::int32_t selectKeyCard(SerialLine& line, SelectedCard& card) {
  std::uint8_t type = 0;
  const std::int32_t result = link::selectCard(line, type, &card.uid);
  if (result != 0) return result;
  switch (static_cast<CardType>(type)) {
    case CardType::T5557:
      card.firstRecordBlock = link::kT5557FirstRecordBlock;
      return 0;
    case CardType::EM4469:
      card.firstRecordBlock = link::kEm4469FirstRecordWord;
      return 0;
    case CardType::Mifare1K:
      break;
  }
  return link::kErrCardKind;
}

std::int32_t selectEm4469(SerialLine& line, std::vector<std::uint8_t>& uid) {
  std::uint8_t type = 0;
  const std::int32_t result = link::selectCard(line, type, &uid);
  if (result != 0) return result;
  return static_cast<CardType>(type) == CardType::EM4469 ? 0 : link::kErrCardKind;
}

// The part of the record that lies in the index-th record block.
template <typename Byte>
std::span<Byte> recordPart(std::span<Byte, link::kKeyCardSize> image, std::size_t index) {
  return image.subspan(index * link::kProximityBlockSize, link::kProximityBlockSize);
}

}  // namespace

namespace {

// A card that leaves the field is unselected, so the reader refuses every block after it: all six
// blocks come from the card selected here.
std::int32_t readSelectedKeyCard(SerialLine& line, link::KeyCardImage& image,
                                 std::vector<std::uint8_t>& uid) {
  SelectedCard card;
  std::int32_t result = selectKeyCard(line, card);
  if (result != 0) return result;
  link::KeyCardImage read{};
  for (std::size_t i = 0; i < link::kRecordBlockCount; ++i) {
    result = link::readBlock(line, static_cast<std::uint8_t>(card.firstRecordBlock + i),
                             recordPart(std::span(read), i));
    if (result != 0) return result;
  }
  image = read;
  uid = std::move(card.uid);
  return 0;
}

}  // namespace

std::int32_t readKeyCard(SerialLine& line, link::KeyCardImage& image) {
  std::vector<std::uint8_t> uid;
  return readSelectedKeyCard(line, image, uid);
}

std::int32_t writeKeyCard(SerialLine& line, const link::KeyCardImage& image, const char* caller) {
  SelectedCard card;
  std::int32_t result = selectKeyCard(line, card);
  if (result != 0) return result;
  for (std::size_t i = 0; i < link::kRecordBlockCount; ++i) {
    result = link::writeBlock(line, static_cast<std::uint8_t>(card.firstRecordBlock + i),
                              recordPart(std::span(image), i));
    if (result != 0) return result;
  }
  link::KeyCardImage readBack{};
  std::vector<std::uint8_t> readBackUid;
  result = readSelectedKeyCard(line, readBack, readBackUid);
  if (result != 0) return result;
  result = checkSameCard(caller, card.uid, readBackUid);
  if (result != 0) return result;
  return readBack == image ? 0 : link::kErrVerify;
}

bool isEm4469Word(std::int32_t word) {
  return word >= 0 && word < link::kEm4469WordCount;
}

bool isWritableEm4469Word(std::int32_t word) {
  return isEm4469Word(word) && word != link::kEm4469UidWord;
}

std::int32_t readDataWord(SerialLine& line, std::uint8_t word, link::ProximityBlock& data) {
  if (!isEm4469Word(word)) return link::kErrArgument;
  std::vector<std::uint8_t> uid;
  std::int32_t result = selectEm4469(line, uid);
  if (result != 0) return result;
  link::ProximityBlock read{};
  result = link::readBlock(line, word, read);
  if (result == 0) data = read;
  return result;
}

std::int32_t writeDataWord(SerialLine& line, std::uint8_t word, const link::ProximityBlock& data,
                           const char* caller) {
  if (!isWritableEm4469Word(word)) return link::kErrArgument;
  std::vector<std::uint8_t> uid;
  std::int32_t result = selectEm4469(line, uid);
  if (result != 0) return result;
  result = link::writeBlock(line, word, data);
  if (result != 0) return result;
  // Selected afresh, as a key card's read-back is, so that a card put down after the write is
  // told from the one written.
  std::vector<std::uint8_t> readBackUid;
  result = selectEm4469(line, readBackUid);
  if (result != 0) return result;
  result = checkSameCard(caller, uid, readBackUid);
  if (result != 0) return result;
  link::ProximityBlock readBack{};
  result = link::readBlock(line, word, readBack);
  if (result != 0) return result;
  return readBack == data ? 0 : link::kErrVerify;
}

}  // namespace keycard::drivers
