// Key cards and data words on the proximity reader's cards (T5557 and EM4469), built from the
// reader's commands. Each call selects the card afresh, so a card swapped between calls is seen.
#pragma once

#include <cstdint>

#include "link/ChipLayout.h"
#include "link/SerialLine.h"

namespace keycard::drivers {

// Fills `image` only on success.
std::int32_t readKeyCard(link::SerialLine& line, link::KeyCardImage& image);
// Writes the image, reads it back and returns kErrVerify unless the card it began on holds exactly
// `image`; a read-back from another card is told on stderr under `caller`'s name.
std::int32_t writeKeyCard(link::SerialLine& line, const link::KeyCardImage& image,
                          const char* caller);

bool isEm4469Word(std::int32_t word);
bool isWritableEm4469Word(std::int32_t word);

// EM4469 cards only (kErrCardKind otherwise); the word must be valid for the operation.
std::int32_t readDataWord(link::SerialLine& line, std::uint8_t word, link::ProximityBlock& data);
// The same rule as writeKeyCard's: the word is read back from the card it was written to.
std::int32_t writeDataWord(link::SerialLine& line, std::uint8_t word,
                           const link::ProximityBlock& data, const char* caller);

}  // namespace keycard::drivers
