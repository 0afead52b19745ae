// Key cards on Mifare Classic 1K, built from the reader's commands: the record lies in sector 1,
// reached with key A. Each call selects and authenticates afresh.
#pragma once

#include <cstdint>

#include "card/ChipLayout.h"
#include "link/SerialLine.h"

namespace keycard::drivers {

// Fills `image` only on success.
std::int32_t readMifareKeyCard(link::SerialLine& line, link::KeyCardImage& image);
// Writes the image, reads it back and returns kErrVerify unless the card holds exactly `image`.
std::int32_t writeMifareKeyCard(link::SerialLine& line, const link::KeyCardImage& image);

}  // namespace keycard::drivers
