#include "drivers/MSRD_MIF/MifareCard.h"

#include <algorithm>

#include "link/Errors.h"
#include "link/Protocol.h"
#include "link/ReaderCommands.h"

namespace keycard::drivers {

using link::MifareBlock;
using link::SerialLine;

namespace {

// The two blocks that hold a record: all of the first, the rest of the record then zeros in the
// second.
struct RecordBlocks {
  MifareBlock head{};
  MifareBlock tail{};

  bool operator==(const RecordBlocks&) const = default;
};

RecordBlocks toBlocks(const link::KeyCardImage& image) {
  RecordBlocks blocks;
  std::copy_n(image.begin(), blocks.head.size(), blocks.head.begin());
  std::copy(image.begin() + blocks.head.size(), image.end(), blocks.tail.begin());
  return blocks;
}

link::KeyCardImage toImage(const RecordBlocks& blocks) {
  link::KeyCardImage image{};
  auto* const afterHead = std::copy(blocks.head.begin(), blocks.head.end(), image.begin());
  std::copy_n(blocks.tail.begin(), image.end() - afterHead, afterHead);
  return image;
}

std::int32_t openRecordSector(SerialLine& line) {
  std::uint8_t type = 0;
  std::int32_t result = link::selectCard(line, type);
  if (result != 0) return result;
  if (static_cast<link::CardType>(type) != link::CardType::Mifare1K) return link::kErrCardKind;
  return link::authenticateKeyA(line, link::kMifareRecordBlock, link::kMifareRecordKeyA);
}

std::int32_t readRecordBlocks(SerialLine& line, RecordBlocks& blocks) {
  std::int32_t result = openRecordSector(line);
  if (result != 0) return result;
  RecordBlocks read;
  result = link::readBlock(line, link::kMifareRecordBlock, read.head);
  if (result != 0) return result;
  result = link::readBlock(line, link::kMifareRecordTailBlock, read.tail);
  if (result != 0) return result;
  blocks = read;
  return 0;
}

}  // namespace

std::int32_t readMifareKeyCard(SerialLine& line, link::KeyCardImage& image) {
  RecordBlocks blocks;
  const std::int32_t result = readRecordBlocks(line, blocks);
  if (result == 0) image = toImage(blocks);
  return result;
}

std::int32_t writeMifareKeyCard(SerialLine& line, const link::KeyCardImage& image) {
  const RecordBlocks wanted = toBlocks(image);
  std::int32_t result = openRecordSector(line);
  if (result != 0) return result;
  result = link::writeBlock(line, link::kMifareRecordBlock, wanted.head);
  if (result != 0) return result;
  result = link::writeBlock(line, link::kMifareRecordTailBlock, wanted.tail);
  if (result != 0) return result;
  RecordBlocks readBack;
  result = readRecordBlocks(line, readBack);
  if (result != 0) return result;
  return readBack == wanted ? 0 : link::kErrVerify;
}

}  // namespace keycard::drivers
