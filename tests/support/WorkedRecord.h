// The worked key card record, the one the window's start texts write: card type 1, hotel code
// 333033, area, floor, room and serial 1, flag 0, 06-07-18 12:00 to 06-07-19 12:00, daily
// 00:00 to 23:59, no further floors. The tests and the benchmarks take it from here; the
// installed-tree script keeps the one other copy, as 48 hex digits.
#pragma once

#include "link/ChipLayout.h"

namespace keycard::testing {

inline constexpr link::KeyCardImage kWorkedRecord = {
    0x01, 0x33, 0x30, 0x33, 0x01, 0x01, 0x01, 0x01, 0x00, 0x06, 0x07, 0x18,
    0x12, 0x00, 0x06, 0x07, 0x19, 0x12, 0x00, 0x00, 0x00, 0x23, 0x59, 0x00};

}  // namespace keycard::testing
