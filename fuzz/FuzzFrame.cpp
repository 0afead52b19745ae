// The frame decoder on any bytes: it stays inside its input, and what it accepts is exactly a
// frame the encoder makes; what the encoder makes decodes back, and never early.
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

  // The input as a sequence number, a command and a payload.
  if (size < 2) return 0;
  const std::span<const std::uint8_t> payload(data + 2, size - 2);
  const std::vector<std::uint8_t> frame = encodeFrame(data[0], data[1], payload);
  check(frame.empty() == (payload.size() > kMaxPayload));
  if (frame.empty()) return 0;
  const DecodeResult whole = decodeFrame(frame);
  check(whole.status == DecodeStatus::Complete && whole.consumed == frame.size());
  check(whole.frame == Frame{data[1], {payload.begin(), payload.end()}, data[0]});
  for (auto end = frame.begin(); end != frame.end(); ++end) {
    check(decodeFrame(std::vector(frame.begin(), end)).status == DecodeStatus::NeedMore);
  }
  return 0;
}
