// Frame codec: builds and checks frames, no I/O, so it can be tested and fuzzed alone.
//
//   STX(0x02) LEN SEQ CMD PAYLOAD... CRC_HI CRC_LO
//
// LEN counts CMD and PAYLOAD (1..kMaxBody). SEQ numbers a request, and its reply carries the
// same number back. The CRC is CRC-16/CCITT-FALSE over LEN, SEQ, CMD and PAYLOAD.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "link/Protocol.h"

namespace keycard::link {

struct Frame {
  std::uint8_t command = 0;
  std::vector<std::uint8_t> payload;
  std::uint8_t sequence = 0;

  bool operator==(const Frame&) const = default;
};

enum class DecodeStatus {
  Complete,   // a whole, valid frame: `frame` and `consumed` are set
  NeedMore,   // the bytes so far are a valid beginning of a frame
  BadStart,   // the first byte is not STX
  BadLength,  // LEN is 0 or beyond kMaxBody
  BadCrc,     // the checksum does not match
};

struct DecodeResult {
  DecodeStatus status = DecodeStatus::NeedMore;
  Frame frame;
  std::size_t consumed = 0;  // bytes of the input that the complete frame took
};

std::uint16_t crc16(std::span<const std::uint8_t> bytes);

// An empty vector when the payload is too long for a frame.
std::vector<std::uint8_t> encodeFrame(std::uint8_t sequence, std::uint8_t command,
                                      std::span<const std::uint8_t> payload);

// Checks the bytes field by field from the start of `bytes`.
DecodeResult decodeFrame(std::span<const std::uint8_t> bytes);

const char* describe(DecodeStatus status);

}  // namespace keycard::link
