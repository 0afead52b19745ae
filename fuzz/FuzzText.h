// Turns fuzz input into UTF-16 text: each byte is one character, so plain ASCII inputs stay
// readable, and the byte 0xFF takes the next two bytes as one character of any code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace keycard::fuzz {

inline std::u16string toText(const std::uint8_t* data, std::size_t size) {
  std::u16string text;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0xFF && i + 2 < size) {
      text.push_back(static_cast<char16_t>(data[i + 1] << 8 | data[i + 2]));
      i += 2;
    } else {
      text.push_back(data[i]);
    }
  }
  return text;
}

// A broken property is a finding: abort so libFuzzer keeps the input.
inline void check(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace keycard::fuzz
