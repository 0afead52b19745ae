// Which cards carry the key card's record: a Mifare Classic, or a card that answers as one
// (the 4K, the Mini, a Plus in security level 1, 1K-compatible chips of other makers). Each has a
// Classic sector 1 behind key A. The serial and PN532 readers report a card by its SAK, a PC/SC
// reader by the card name in the ATR it makes for the card; both come here.
#pragma once

#include <cstdint>

#include "drivers/MSRD_MIF/StorageCardAtr.h"

namespace keycard::drivers {

// SAK 08 (1K, Plus SL1 2K), 18 (4K, Plus SL1 4K), 09 (Mini), 88 (1K-compatible chips). A SAK
// that also announces ISO 14443-4 (DESFire, Plus in SL3, payment cards) is not one of them.
bool isClassicCompatibleSak(std::uint8_t sak);

// An ISO 14443 A part 3 storage card named 00 01 (1K), 00 02 (4K), 00 26 (Mini), 00 36 or 00 37
// (Plus SL1 2K or 4K), or FF 08, FF 18, FF 88, FF 09: readers that do not know a card name it FF
// and its SAK. An Ultralight (00 03) and every other name is not.
bool isClassicCompatible(const StorageCard& card);

}  // namespace keycard::drivers
