#include "emulator/card/Card.h"

#include <algorithm>

namespace keycard::emulator {

namespace {

struct RecordPlace {
  std::size_t firstBlock;
  std::size_t blocks;  // the last one may be used only in part
};

// The same places the drivers read and write the record at.
RecordPlace recordPlace(CardType type) {
  switch (type) {
    case CardType::T5557:
      return {link::kT5557FirstRecordBlock, link::kRecordBlockCount};
    case CardType::EM4469:
      return {link::kEm4469FirstRecordWord, link::kRecordBlockCount};
    case CardType::Mifare1K:
    case CardType::Mifare4K:
    case CardType::MifarePlusSl1:
    case CardType::MifareSak88:
      return {link::kMifareRecordBlock,
              link::kMifareRecordTailBlock - link::kMifareRecordBlock + 1u};
    case CardType::MifareUltralight:
      break;
  }
  return {0, 0};
}

// The factory configuration of a T5557: Manchester, RF/64, seven data blocks, no password.
constexpr std::array<std::uint8_t, 4> kT5557Configuration{0x00, 0x08, 0x80, 0xE0};
constexpr std::array<std::uint8_t, 4> kMifareAccessBits{0xFF, 0x07, 0x80, 0x69};
constexpr std::array<std::uint8_t, 2> kMifareAtqa{0x04, 0x00};
// Beyond the first 32 sectors of four blocks a 4K card has sectors of sixteen.
constexpr std::size_t kSmallSectorBlocks = 128;
constexpr std::size_t kBigSectorBlocks = 16;
constexpr std::array<CardType, 7> kCardTypes = {
    CardType::T5557,         CardType::EM4469,      CardType::Mifare1K,        CardType::Mifare4K,
    CardType::MifarePlusSl1, CardType::MifareSak88, CardType::MifareUltralight};
// Ultralight: 16 pages of 4 bytes; the UID's first byte is the maker's code, a cascade tag
// (0x88) enters the first check byte.
constexpr std::size_t kUltralightPages = 16;
constexpr std::size_t kUltralightFirstUserPage = 4;
constexpr std::uint8_t kUltralightMaker = 0x04;
constexpr std::uint8_t kCascadeTag = 0x88;

std::array<std::uint8_t, 4> uidFromSeed(std::uint32_t seed) {
  return {static_cast<std::uint8_t>(seed >> 24), static_cast<std::uint8_t>(seed >> 16),
          static_cast<std::uint8_t>(seed >> 8), static_cast<std::uint8_t>(seed)};
}

}  // namespace

std::string_view cardTypeName(CardType type) {
  switch (type) {
    case CardType::T5557:
      return "t5557";
    case CardType::EM4469:
      return "em4469";
    case CardType::Mifare1K:
      return "mifare1k";
    case CardType::Mifare4K:
      return "mifare4k";
    case CardType::MifarePlusSl1:
      return "plus-sl1";
    case CardType::MifareSak88:
      return "sak88";
    case CardType::MifareUltralight:
      return "ultralight";
  }
  return "unknown";
}

std::optional<CardType> parseCardType(std::string_view name) {
  for (CardType type : kCardTypes) {
    if (name == cardTypeName(type)) return type;
  }
  return std::nullopt;
}

std::string cardTypeNames(std::string_view between, std::string_view last) {
  std::string names;
  for (std::size_t i = 0; i < kCardTypes.size(); ++i) {
    if (i > 0) names += i + 1 == kCardTypes.size() ? last : between;
    names += cardTypeName(kCardTypes[i]);
  }
  return names;
}

bool isMifareClassic(CardType type) {
  return type == CardType::Mifare1K || type == CardType::Mifare4K ||
         type == CardType::MifarePlusSl1 || type == CardType::MifareSak88;
}

std::uint8_t mifareSak(CardType type) {
  switch (type) {
    case CardType::Mifare4K:
      return 0x18;
    case CardType::MifareSak88:
      return 0x88;
    default:
      return 0x08;
  }
}

std::size_t blockCount(CardType type) {
  switch (type) {
    case CardType::T5557:
      return link::kT5557BlockCount;
    case CardType::EM4469:
      return link::kEm4469WordCount;
    case CardType::Mifare1K:
    case CardType::MifareSak88:
      return link::kMifareBlockCount;
    case CardType::MifarePlusSl1:
      return kSmallSectorBlocks;
    case CardType::Mifare4K:
      return kSmallSectorBlocks + 8 * kBigSectorBlocks;
    case CardType::MifareUltralight:
      return kUltralightPages;
  }
  return 0;
}

std::size_t blockSize(CardType type) {
  return isMifareClassic(type) ? link::kMifareBlockSize : link::kProximityBlockSize;
}

std::vector<std::uint8_t> chipRead(const Card& card, std::size_t block) {
  constexpr std::size_t kReadLength = 16;
  if (isMifareClassic(card.type)) {
    std::vector<std::uint8_t> bytes = card.blocks.at(block);
    if (isMifareTrailer(block)) std::fill_n(bytes.begin(), kMifareFactoryKey.size(), 0);
    return bytes;
  }
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; bytes.size() < kReadLength; ++i) {
    const auto& page = card.blocks.at((block + i) % card.blocks.size());
    bytes.insert(bytes.end(), page.begin(), page.end());
  }
  return bytes;
}

bool holdsRecord(CardType type) {
  return type != CardType::MifareUltralight;
}

std::size_t mifareSector(std::size_t block) {
  if (block < kSmallSectorBlocks) return block / kMifareBlocksPerSector;
  return kSmallSectorBlocks / kMifareBlocksPerSector +
         (block - kSmallSectorBlocks) / kBigSectorBlocks;
}

std::size_t mifareTrailerOf(std::size_t block) {
  if (block < kSmallSectorBlocks)
    return block - block % kMifareBlocksPerSector + kMifareBlocksPerSector - 1;
  return block - (block - kSmallSectorBlocks) % kBigSectorBlocks + kBigSectorBlocks - 1;
}

bool isMifareTrailer(std::size_t block) {
  return mifareTrailerOf(block) == block;
}

bool mifareKeyMayWrite(const Card& card, std::size_t block, bool keyB) {
  // Access bits C1, C2, C3 of the block's group: bytes 7 and 8 of the trailer hold them in
  // plain form (byte 6 and the low half of 7 their complements). A 16-block sector groups five
  // blocks under one set.
  const std::size_t trailer = mifareTrailerOf(block);
  const std::size_t inSector = block < kSmallSectorBlocks
                                   ? block % kMifareBlocksPerSector
                                   : (block - kSmallSectorBlocks) % kBigSectorBlocks / 5;
  const auto& bits = card.blocks.at(trailer);
  const unsigned byte7 = bits[7];
  const unsigned byte8 = bits[8];
  const unsigned c1 = byte7 >> (4 + inSector) & 1u;
  const unsigned c2 = byte8 >> inSector & 1u;
  const unsigned c3 = byte8 >> (4 + inSector) & 1u;
  switch (c1 << 2 | c2 << 1 | c3) {
    case 0b000:
      return true;  // the transport setting: either key writes
    case 0b100:
    case 0b110:
    case 0b011:
      return keyB;
    default:
      return false;
  }
}

void setMifareKeyA(Card& card, const link::MifareKey& key) {
  for (std::size_t block = 0; block < card.blocks.size(); ++block) {
    if (isMifareTrailer(block)) std::ranges::copy(key, card.blocks[block].begin());
  }
}

bool isReadOnlyBlock(CardType type, std::size_t block) {
  switch (type) {
    case CardType::T5557:
      return block == 0;
    case CardType::EM4469:
      return block == link::kEm4469UidWord;
    case CardType::Mifare1K:
    case CardType::Mifare4K:
    case CardType::MifarePlusSl1:
    case CardType::MifareSak88:
      return block == 0 || isMifareTrailer(block);
    case CardType::MifareUltralight:
      return block < kUltralightFirstUserPage;
  }
  return true;
}

Card blankCard(CardType type, std::uint32_t uidSeed) {
  Card card{type, std::vector<std::vector<std::uint8_t>>(
                      blockCount(type), std::vector<std::uint8_t>(blockSize(type), 0))};
  const std::array<std::uint8_t, 4> uid = uidFromSeed(uidSeed);
  switch (type) {
    case CardType::T5557:
      std::ranges::copy(kT5557Configuration, card.blocks[0].begin());
      break;
    case CardType::EM4469:
      std::ranges::copy(uid, card.blocks[link::kEm4469UidWord].begin());
      break;
    case CardType::Mifare1K:
    case CardType::Mifare4K:
    case CardType::MifarePlusSl1:
    case CardType::MifareSak88: {
      auto& maker = card.blocks[0];
      std::ranges::copy(uid, maker.begin());
      maker[4] = static_cast<std::uint8_t>(uid[0] ^ uid[1] ^ uid[2] ^ uid[3]);  // BCC
      maker[5] = mifareSak(type);
      std::ranges::copy(kMifareAtqa, maker.begin() + 6);
      for (std::size_t block = 0; block < card.blocks.size(); ++block) {
        if (!isMifareTrailer(block)) continue;
        auto& trailer = card.blocks[block];
        std::ranges::copy(kMifareFactoryKey, trailer.begin());
        std::ranges::copy(kMifareAccessBits, trailer.begin() + 6);
        std::ranges::copy(kMifareFactoryKey, trailer.begin() + 10);
      }
      break;
    }
    case CardType::MifareUltralight: {
      // Pages 0-1: the seven UID bytes with a check byte after the third, page 2 begins with the
      // second check byte; lock and one-time bytes stay zero.
      const std::array<std::uint8_t, 7> id{kUltralightMaker,
                                           uid[0],
                                           uid[1],
                                           uid[2],
                                           uid[3],
                                           static_cast<std::uint8_t>(uid[0] ^ uid[3]),
                                           static_cast<std::uint8_t>(uid[1] ^ uid[2])};
      card.blocks[0] = {id[0], id[1], id[2],
                        static_cast<std::uint8_t>(kCascadeTag ^ id[0] ^ id[1] ^ id[2])};
      card.blocks[1] = {id[3], id[4], id[5], id[6]};
      card.blocks[2][0] = static_cast<std::uint8_t>(id[3] ^ id[4] ^ id[5] ^ id[6]);
      break;
    }
  }
  return card;
}

Uid cardUid(const Card& card) {
  switch (card.type) {
    case CardType::T5557:
      break;
    case CardType::EM4469:
      return {card.blocks.at(link::kEm4469UidWord).begin(),
              card.blocks.at(link::kEm4469UidWord).begin() + 4};
    case CardType::Mifare1K:
    case CardType::Mifare4K:
    case CardType::MifarePlusSl1:
    case CardType::MifareSak88:
      return {card.blocks.at(0).begin(), card.blocks.at(0).begin() + 4};
    case CardType::MifareUltralight: {
      Uid uid(card.blocks.at(0).begin(), card.blocks.at(0).begin() + 3);
      uid.insert(uid.end(), card.blocks.at(1).begin(), card.blocks.at(1).end());
      return uid;
    }
  }
  return Uid(4, 0);
}

void setCardUid(Card& card, std::uint32_t uidSeed) {
  const Card blank = blankCard(card.type, uidSeed);
  switch (card.type) {
    case CardType::T5557:
      break;
    case CardType::EM4469:
      card.blocks.at(link::kEm4469UidWord) = blank.blocks.at(link::kEm4469UidWord);
      break;
    case CardType::Mifare1K:
    case CardType::Mifare4K:
    case CardType::MifarePlusSl1:
    case CardType::MifareSak88:
      card.blocks.at(0) = blank.blocks.at(0);
      break;
    case CardType::MifareUltralight:
      card.blocks.at(0) = blank.blocks.at(0);
      card.blocks.at(1) = blank.blocks.at(1);
      card.blocks.at(2).at(0) = blank.blocks.at(2).at(0);
      break;
  }
}

Record cardRecord(const Card& card) {
  Record record{};
  const RecordPlace place = recordPlace(card.type);
  std::size_t filled = 0;
  for (std::size_t i = 0; i < place.blocks && filled < record.size(); ++i) {
    const auto& block = card.blocks.at(place.firstBlock + i);
    const std::size_t count = std::min(block.size(), record.size() - filled);
    std::copy_n(block.begin(), count, record.begin() + static_cast<std::ptrdiff_t>(filled));
    filled += count;
  }
  return record;
}

void setCardRecord(Card& card, const Record& record) {
  const RecordPlace place = recordPlace(card.type);
  std::size_t taken = 0;
  for (std::size_t i = 0; i < place.blocks; ++i) {
    auto& block = card.blocks.at(place.firstBlock + i);
    std::ranges::fill(block, 0);  // the rest of a block the record ends in stays zero
    const std::size_t count = std::min(block.size(), record.size() - taken);
    std::copy_n(record.begin() + static_cast<std::ptrdiff_t>(taken), count, block.begin());
    taken += count;
  }
}

std::optional<Record> recordFromHex(std::string_view hex) {
  const auto bytes = fromHex(hex);
  if (!bytes || bytes->size() != kRecordSize) return std::nullopt;
  Record record{};
  std::ranges::copy(*bytes, record.begin());
  return record;
}

std::string toHex(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (std::uint8_t byte : bytes) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0x0F]);
  }
  return text;
}

std::optional<std::vector<std::uint8_t>> fromHex(std::string_view text) {
  if (text.size() % 2 != 0) return std::nullopt;
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = digit(text[i]);
    const int low = digit(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return bytes;
}

}  // namespace keycard::emulator
