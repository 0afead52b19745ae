// The card commands a Mifare reader offers, whatever carries them: the serial reader's frames or
// a PC/SC reader's storage-card commands. The key card operations are written once on top of
// these. Each returns 0 or a negative error code (link/Errors.h).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "link/ChipLayout.h"
#include "link/Protocol.h"

namespace keycard::drivers {

using link::MifareKey;

// What selecting tells of the card in the field.
struct SelectedCard {
  // A Mifare Classic, or a card that answers as one there: where the key card's record lies.
  bool hasClassicSector1 = false;
  // As the reader reports it (4, 7 or 10 bytes): a write is only done on the card it started on.
  std::vector<std::uint8_t> uid;
};

class MifareReader {
 public:
  MifareReader() = default;
  MifareReader(const MifareReader&) = delete;
  MifareReader& operator=(const MifareReader&) = delete;
  virtual ~MifareReader() = default;

  // Finds the card in the field and tells what it is; `card` is filled only on success.
  virtual std::int32_t selectCard(SelectedCard& card) = 0;
  virtual std::int32_t authenticateKeyA(std::uint8_t block, const MifareKey& key) = 0;
  // Leaves `data` as it was on any failure.
  virtual std::int32_t readBlock(std::uint8_t block, link::MifareBlock& data) = 0;
  virtual std::int32_t writeBlock(std::uint8_t block, const link::MifareBlock& data) = 0;
  // 1 one beep, 2 two.
  virtual std::int32_t beep(std::uint8_t value) = 0;
};

}  // namespace keycard::drivers
