// The cards the emulator holds on its readers, modelled as the chips are: how many blocks, how big,
// which ones nobody may write, and where a key card keeps its 24-byte record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/ChipLayout.h"
#include "link/Protocol.h"

namespace keycard::emulator {

// The chips a card file can hold. The serial readers report the key-card chips by their link
// code; an Ultralight and the other Classic-compatible cards lie only on the contactless reader
// (the serial readers answer WrongCardKind).
enum class CardType : std::uint8_t {
  T5557 = static_cast<std::uint8_t>(link::CardType::T5557),
  EM4469 = static_cast<std::uint8_t>(link::CardType::EM4469),
  Mifare1K = static_cast<std::uint8_t>(link::CardType::Mifare1K),
  Mifare4K = 0xF0,       // 32 sectors of 4 blocks, then 8 of 16
  MifarePlusSl1 = 0xF1,  // a Plus 2K in security level 1: a Classic 2K to the reader
  MifareSak88 = 0xF2,    // a 1K-compatible chip of another maker (SAK 88)
  MifareUltralight = 0xFF,
};

inline constexpr std::size_t kRecordSize = link::kKeyCardSize;
using Record = link::KeyCardImage;
// 4 bytes; 7 on an Ultralight.
using Uid = std::vector<std::uint8_t>;

struct Card {
  CardType type = CardType::T5557;
  std::vector<std::vector<std::uint8_t>> blocks;

  bool operator==(const Card&) const = default;
};

// "t5557", "em4469", "mifare1k", "mifare4k", "plus-sl1", "sak88", "ultralight": the names used
// on the command line and in card files.
std::string_view cardTypeName(CardType type);
std::optional<CardType> parseCardType(std::string_view name);
// The names above as a list for messages: "t5557, em4469, ... or ultralight".
std::string cardTypeNames(std::string_view between = ", ", std::string_view last = " or ");

// The cards with Mifare Classic sectors, keys and trailers.
bool isMifareClassic(CardType type);
// The SAK the card answers selection with.
std::uint8_t mifareSak(CardType type);

std::size_t blockCount(CardType type);
std::size_t blockSize(CardType type);

// Mifare Classic: four blocks a sector in the first 128 blocks, sixteen beyond; the last block of
// each sector is its trailer.
inline constexpr std::size_t kMifareBlocksPerSector = 4;
inline constexpr link::MifareKey kMifareFactoryKey{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
std::size_t mifareSector(std::size_t block);
bool isMifareTrailer(std::size_t block);
std::size_t mifareTrailerOf(std::size_t block);
// Whether the sector's access bits let key A (or B) write the data block `block`.
bool mifareKeyMayWrite(const Card& card, std::size_t block, bool keyB);
// Key A of every sector: a card issued with a key of its own instead of the factory key.
void setMifareKeyA(Card& card, const link::MifareKey& key);

// The 16 bytes the chip answers a read of `block` with: a Classic block, a trailer with zeros for
// its key A (a Mifare card never gives it away); on an Ultralight four pages from `block`, wrapping
// round to page 0 past the last.
std::vector<std::uint8_t> chipRead(const Card& card, std::size_t block);

// Whether the card holds a key-card record at all (an Ultralight does not).
bool holdsRecord(CardType type);

// Blocks a write never changes: the T5557 configuration (a wrong one makes the card unreadable),
// the EM4469 UID word, the Mifare maker block and every Mifare sector trailer, the Ultralight's
// UID, lock and one-time pages (0-3).
bool isReadOnlyBlock(CardType type, std::size_t block);

// A blank card of the type as it comes from the factory: zeros where the record goes, the fixed
// parts filled in. `uidSeed` makes the UID of EM4469, Mifare and Ultralight cards.
Card blankCard(CardType type, std::uint32_t uidSeed);

// The UID a reader reports on selecting the card. A T5557 carries none and reports four zeros.
Uid cardUid(const Card& card);
// Gives the card the UID (and its check bytes) blankCard would give it for `uidSeed`; a T5557
// stays as it is.
void setCardUid(Card& card, std::uint32_t uidSeed);

Record cardRecord(const Card& card);
void setCardRecord(Card& card, const Record& record);
// nullopt unless `hex` is exactly 48 hex digits.
std::optional<Record> recordFromHex(std::string_view hex);

// Capital hex digits, no separators.
std::string toHex(std::span<const std::uint8_t> bytes);
// Accepts either case; nullopt for an odd count or a non-hex character.
std::optional<std::vector<std::uint8_t>> fromHex(std::string_view text);

}  // namespace keycard::emulator
