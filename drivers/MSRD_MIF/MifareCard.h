// Key cards on Mifare Classic cards, the same on every reader: the record lies in sector 1, reached
// with key A. Each call selects and authenticates afresh.
#pragma once

#include <cstdint>

#include "drivers/MSRD_MIF/MifareReader.h"
#include "link/ChipLayout.h"

namespace keycard::drivers {

// Fills `image` only on success.
std::int32_t readMifareKeyCard(MifareReader& reader, link::KeyCardImage& image);
// Writes the image, reads it back and returns kErrVerify unless the card it began on holds exactly
// `image`; a read-back from another card is told on stderr under `caller`'s name.
std::int32_t writeMifareKeyCard(MifareReader& reader, const link::KeyCardImage& image,
                                const char* caller);

}  // namespace keycard::drivers
