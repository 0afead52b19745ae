// The frame decoder on any bytes: it stays inside its input, and what it accepts is exactly a
// frame the encoder makes; what the encoder makes decodes back, and never early.
#include <vector>

#include "frame.h"

namespace {

void check(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace keycard::link;
  // An exactly sized copy, so a read past the end is caught by the address sanitizer.
  const std::vector<std::uint8_t> input(data, data + size);
  const DecodeResult decoded = decodeFrame(input);
  if (decoded.status == DecodeStatus::Complete) {
    check(decoded.consumed > 0 && decoded.consumed <= size);
    const auto again = encodeFrame(decoded.frame.command, decoded.frame.payload);
    check(std::equal(again.begin(), again.end(), input.begin(),
                     input.begin() + static_cast<std::ptrdiff_t>(decoded.consumed)) &&
          again.size() == decoded.consumed);
  } else {
    check(decoded.consumed == 0);
  }

  if (size == 0) return 0;
  const std::span<const std::uint8_t> payload(data + 1, size - 1);
  const std::vector<std::uint8_t> frame = encodeFrame(data[0], payload);
  if (payload.size() > kMaxPayload) {
    check(frame.empty());
    return 0;
  }
  const DecodeResult whole = decodeFrame(frame);
  check(whole.status == DecodeStatus::Complete && whole.consumed == frame.size());
  check(whole.frame == Frame{data[0], {payload.begin(), payload.end()}});
  for (std::size_t cut = 0; cut < frame.size(); ++cut) {
    const std::vector<std::uint8_t> prefix(frame.begin(),
                                           frame.begin() + static_cast<std::ptrdiff_t>(cut));
    check(decodeFrame(prefix).status == DecodeStatus::NeedMore);
  }
  return 0;
}
