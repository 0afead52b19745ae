// The PN532 frame parser on any bytes: it stays inside its input, takes bytes only when it has
// decided, and an information frame it accepts is exactly what the encoder makes of its body.
// (What the encoder makes of our own commands is the unit tests' part.)
#include <algorithm>
#include <vector>

#include "fuzz/FuzzText.h"
#include "link/Pn532Frame.h"

using keycard::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace keycard::link::pn532;
  // An exactly sized copy, so a read past the end is caught by the address sanitizer.
  const std::vector<std::uint8_t> input(data, data + size);
  std::vector<std::uint8_t> body;
  std::size_t consumed = 0;
  const Parse parse = parseFrame(input, body, consumed);
  check(parse == Parse::Incomplete ? consumed == 0 : consumed > 0 && consumed <= size);
  check(parse == Parse::Information || body.empty());
  if (parse == Parse::Information) {
    // From the start code on: the preamble's 00 may be missing.
    const auto frame = encodeFrame(body);
    const std::size_t from = frame.size() - 1;
    check(from <= consumed &&
          std::equal(frame.begin() + 1, frame.end(),
                     input.begin() + static_cast<std::ptrdiff_t>(consumed - from)));
  }
  return 0;
}
