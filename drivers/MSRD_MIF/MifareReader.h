// The card commands a Mifare reader offers, whatever carries them: the serial reader's frames or
// a PC/SC reader's storage-card commands. The key card operations are written once on top of
// these. Each returns 0 or a negative error code (link/Errors.h).
#pragma once

#include <array>
#include <cstdint>

#include "card/ChipLayout.h"

namespace keycard::drivers {

using MifareKey = std::array<std::uint8_t, 6>;

class MifareReader {
 public:
  MifareReader() = default;
  MifareReader(const MifareReader&) = delete;
  MifareReader& operator=(const MifareReader&) = delete;
  virtual ~MifareReader() = default;

  // Finds the card in the field; `isClassic1K` says whether it is a Mifare Classic 1K.
  virtual std::int32_t selectCard(bool& isClassic1K) = 0;
  virtual std::int32_t authenticateKeyA(std::uint8_t block, const MifareKey& key) = 0;
  // Leaves `data` as it was on any failure.
  virtual std::int32_t readBlock(std::uint8_t block, link::MifareBlock& data) = 0;
  virtual std::int32_t writeBlock(std::uint8_t block, const link::MifareBlock& data) = 0;
  // 1 one beep, 2 two.
  virtual std::int32_t beep(std::uint8_t value) = 0;
};

}  // namespace keycard::drivers
