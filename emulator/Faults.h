// Faults the emulator can be told to make, so tests see how a driver copes with a reader that
// misbehaves. README.md describes each one.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace keycard::emulator {

enum class Fault { None, Silent, Late, Corrupt, Truncate, Garbage, Oversize, Hangup, Tear };

std::optional<Fault> parseFault(std::string_view name);

// A late reply comes well after the drivers' 500 ms reply timeout.
inline constexpr std::chrono::milliseconds kLateDelay{800};
// Tear: the card leaves the field right after this many successful block writes.
inline constexpr int kWritesBeforeTear = 2;
// Noise the garbage fault puts before a reply; no start byte among it.
inline constexpr std::uint8_t kGarbage[] = {0xFF, 0x00, 0x55, 0xAA};

// How one reply goes onto the line.
struct Delivery {
  std::chrono::milliseconds delay{0};  // before the first byte
  std::vector<std::uint8_t> bytes;     // empty: nothing is sent
  bool hangUpAfter = false;            // close the line once `bytes` are out
};

// `frame` is a whole, valid reply frame.
Delivery shapeReply(Fault fault, std::vector<std::uint8_t> frame);

}  // namespace keycard::emulator
