#include "drivers/MF_API/ProximityCard.h"

#include <algorithm>
#include <span>

#include "link/Errors.h"
#include "link/Protocol.h"
#include "link/ReaderCommands.h"

namespace keycard::drivers {

using link::CardType;
using link::SerialLine;

namespace {

// Selects the card and tells where its record starts.
std::int32_t selectKeyCard(SerialLine& line, std::uint8_t& firstRecordBlock) {
  std::uint8_t type = 0;
  const std::int32_t result = link::selectCard(line, type);
  if (result != 0) return result;
  switch (static_cast<CardType>(type)) {
    case CardType::T5557:
      firstRecordBlock = link::kT5557FirstRecordBlock;
      return 0;
    case CardType::EM4469:
      firstRecordBlock = link::kEm4469FirstRecordWord;
      return 0;
    case CardType::Mifare1K:
      break;
  }
  return link::kErrCardKind;
}

std::int32_t selectEm4469(SerialLine& line) {
  std::uint8_t type = 0;
  const std::int32_t result = link::selectCard(line, type);
  if (result != 0) return result;
  return static_cast<CardType>(type) == CardType::EM4469 ? 0 : link::kErrCardKind;
}

// The part of the record that lies in the index-th record block.
template <typename Byte>
std::span<Byte> recordPart(std::span<Byte, link::kKeyCardSize> image, std::size_t index) {
  return image.subspan(index * link::kProximityBlockSize, link::kProximityBlockSize);
}

}  // namespace

std::int32_t readKeyCard(SerialLine& line, link::KeyCardImage& image) {
  std::uint8_t first = 0;
  std::int32_t result = selectKeyCard(line, first);
  if (result != 0) return result;
  link::KeyCardImage read{};
  for (std::size_t i = 0; i < link::kRecordBlockCount; ++i) {
    result =
        link::readBlock(line, static_cast<std::uint8_t>(first + i), recordPart(std::span(read), i));
    if (result != 0) return result;
  }
  image = read;
  return 0;
}

std::int32_t writeKeyCard(SerialLine& line, const link::KeyCardImage& image) {
  std::uint8_t first = 0;
  std::int32_t result = selectKeyCard(line, first);
  if (result != 0) return result;
  for (std::size_t i = 0; i < link::kRecordBlockCount; ++i) {
    result = link::writeBlock(line, static_cast<std::uint8_t>(first + i),
                              recordPart(std::span(image), i));
    if (result != 0) return result;
  }
  link::KeyCardImage readBack{};
  result = readKeyCard(line, readBack);
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
  std::int32_t result = selectEm4469(line);
  if (result != 0) return result;
  link::ProximityBlock read{};
  result = link::readBlock(line, word, read);
  if (result == 0) data = read;
  return result;
}

std::int32_t writeDataWord(SerialLine& line, std::uint8_t word, const link::ProximityBlock& data) {
  if (!isWritableEm4469Word(word)) return link::kErrArgument;
  std::int32_t result = selectEm4469(line);
  if (result != 0) return result;
  result = link::writeBlock(line, word, data);
  if (result != 0) return result;
  link::ProximityBlock readBack{};
  result = link::readBlock(line, word, readBack);
  if (result != 0) return result;
  return readBack == data ? 0 : link::kErrVerify;
}

}  // namespace keycard::drivers
