// Where a key card keeps its 24-byte record on each kind of card, and which blocks a reader may
// write. The drivers and the reader emulator share these.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "link/Protocol.h"

namespace keycard::link {

inline constexpr std::size_t kKeyCardSize = 24;
using KeyCardImage = std::array<std::uint8_t, kKeyCardSize>;

// 125 kHz cards: 4-byte blocks; the record fills six of them, bytes 0-3 in the first.
inline constexpr std::size_t kProximityBlockSize = 4;
using ProximityBlock = std::array<std::uint8_t, kProximityBlockSize>;
inline constexpr std::size_t kRecordBlockCount = kKeyCardSize / kProximityBlockSize;

// T5557: blocks 0-7, block 0 the configuration (never written), the record in blocks 1-6.
inline constexpr std::uint8_t kT5557BlockCount = 8;
inline constexpr std::uint8_t kT5557FirstRecordBlock = 1;

// EM4469: words 0-15, word 1 the UID (read-only), the data block at word 2, the record in 5-10.
inline constexpr std::uint8_t kEm4469WordCount = 16;
inline constexpr std::uint8_t kEm4469UidWord = 1;
inline constexpr std::uint8_t kEm4469DataWord = 2;
inline constexpr std::uint8_t kEm4469FirstRecordWord = 5;

// Mifare Classic 1K: 64 blocks of 16 bytes; the record in sector 1: all of block 4 and the first
// 8 bytes of block 5, whose other 8 bytes are zero. Sector trailers are never written.
inline constexpr std::size_t kMifareBlockSize = 16;
inline constexpr std::uint8_t kMifareBlockCount = 64;
using MifareBlock = std::array<std::uint8_t, kMifareBlockSize>;
inline constexpr std::uint8_t kMifareRecordBlock = 4;
inline constexpr std::uint8_t kMifareRecordTailBlock = 5;
inline constexpr MifareKey kMifareRecordKeyA = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

}  // namespace keycard::link
