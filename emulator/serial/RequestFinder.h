// Finding the driver's request in what arrived on the line, past any noise in front of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "link/Frame.h"

namespace keycard::emulator {

struct FoundRequest {
  std::size_t noise = 0;  // bytes at the front that begin no request: drop them
  // After the noise: Complete (a whole request, `consumed` bytes long) or NeedMore (the beginning
  // of one, or nothing).
  link::DecodeResult decoded;
};

// Noise is every byte before a start byte, and a start byte whose frame is malformed (its length
// out of range or its checksum wrong), up to the next start byte. A request still arriving is
// given up for a later one only when the later one is already whole: the earlier start byte was
// noise whose length swallowed the real request.
FoundRequest findRequest(std::span<const std::uint8_t> input);

}  // namespace keycard::emulator
