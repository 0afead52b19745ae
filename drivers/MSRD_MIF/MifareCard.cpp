#include "drivers/MSRD_MIF/MifareCard.h"

#include <algorithm>

#include "drivers/SameCard.h"
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

// `card` tells which card was selected, so that a write can check it reads back the same one.
std::int32_t openRecordSector(MifareReader& reader, SelectedCard& card) {
  const std::int32_t result = reader.selectCard(card);
  if (result != 0) return result;
  if (!card.hasClassicSector1) return link::kErrCardKind;
  return reader.authenticateKeyA(link::kMifareRecordBlock, link::kMifareRecordKeyA);
}

// The authentication belongs to the card selected: a card that comes into the field afterwards
// is not authenticated and answers no block read, so both blocks come from `card`.
std::int32_t readRecordBlocks(MifareReader& reader, RecordBlocks& blocks, SelectedCard& card) {
  std::int32_t result = openRecordSector(reader, card);
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
  SelectedCard card;
  const std::int32_t result = readRecordBlocks(reader, blocks, card);
  if (result == 0) image = toImage(blocks);
  return result;
}

std::int32_t writeMifareKeyCard(MifareReader& reader, const link::KeyCardImage& image,
                                const char* caller) {
  const RecordBlocks wanted = toBlocks(image);
  SelectedCard written;
  std::int32_t result = openRecordSector(reader, written);
  if (result != 0) return result;
  result = reader.writeBlock(link::kMifareRecordBlock, wanted.head);
  if (result != 0) return result;
  result = reader.writeBlock(link::kMifareRecordTailBlock, wanted.tail);
  if (result != 0) return result;
  RecordBlocks readBack;
  SelectedCard readBackCard;
  result = readRecordBlocks(reader, readBack, readBackCard);
  if (result != 0) return result;
  result = checkSameCard(caller, written.uid, readBackCard.uid);
  if (result != 0) return result;
  return readBack == wanted ? 0 : link::kErrVerify;
}

}  // namespace keycard::drivers
