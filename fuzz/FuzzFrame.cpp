// The frame decoder on any bytes: it stays inside its input, and what it accepts is exactly a
// frame the encoder makes. (What the encoder makes of our own requests is the unit tests' part.)
#include <algorithm>
#include <vector>

#include "fuzz/FuzzText.h"
#include "link/Frame.h"

using keycard::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace keycard::link;
  // An exactly sized copy, so a read past the end is caught by the address sanitizer.
  const std::vector<std::uint8_t> input(data, data + size);
  const DecodeResult decoded = decodeFrame(input);
  const bool complete = decoded.status == DecodeStatus::Complete;
  check(complete ? decoded.consumed > 0 && decoded.consumed <= size : decoded.consumed == 0);
  if (complete) {
    const auto frame =
        encodeFrame(decoded.frame.sequence, decoded.frame.command, decoded.frame.payload);
    check(frame.size() == decoded.consumed &&
          std::equal(frame.begin(), frame.end(), input.begin()));
  }
  return 0;
}
