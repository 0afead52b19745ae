#include "drivers/MSRD_MIF/MifareCard.h"

#include <algorithm>

#include "link/Errors.h"

namespace keycard::drivers {

using link::MifareBlock;

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

std::int32_t openRecordSector(MifareReader& reader) {
  SelectedCard card;
  const std::int32_t result = reader.selectCard(card);
  if (result != 0) return result;
  if (!card.hasClassicSector1) return link::kErrCardKind;
  return reader.authenticateKeyA(link::kMifareRecordBlock, link::kMifareRecordKeyA);
}

std::int32_t readRecordBlocks(MifareReader& reader, RecordBlocks& blocks) {
  std::int32_t result = openRecordSector(reader);
  if (result != 0) return result;
  RecordBlocks read;
  result = reader.readBlock(link::kMifareRecordBlock, read.head);
  if (result != 0) return result;
  result = reader.readBlock(link::kMifareRecordTailBlock, read.tail);
  if (result != 0) return result;
  blocks = read;
  return 0;
}

}  // namespace

std::int32_t readMifareKeyCard(MifareReader& reader, link::KeyCardImage& image) {
  RecordBlocks blocks;
  const std::int32_t result = readRecordBlocks(reader, blocks);
  if (result == 0) image = toImage(blocks);
  return result;
}

std::int32_t writeMifareKeyCard(MifareReader& reader, const link::KeyCardImage& image) {
  const RecordBlocks wanted = toBlocks(image);
  std::int32_t result = openRecordSector(reader);
  if (result != 0) return result;
  result = reader.writeBlock(link::kMifareRecordBlock, wanted.head);
  if (result != 0) return result;
  result = reader.writeBlock(link::kMifareRecordTailBlock, wanted.tail);
  if (result != 0) return result;
  RecordBlocks readBack;
  result = readRecordBlocks(reader, readBack);
  if (result != 0) return result;
  return readBack == wanted ? 0 : link::kErrVerify;
}

}  // namespace keycard::drivers
