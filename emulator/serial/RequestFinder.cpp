#include "emulator/serial/RequestFinder.h"

#include <algorithm>
#include <optional>

namespace keycard::emulator {

FoundRequest findRequest(std::span<const std::uint8_t> input) {
  std::optional<std::size_t> arriving;
  for (auto start = std::find(input.begin(), input.end(), link::kStartByte); start != input.end();
       start = std::find(start + 1, input.end(), link::kStartByte)) {
    const auto offset = static_cast<std::size_t>(start - input.begin());
    link::DecodeResult decoded = link::decodeFrame(input.subspan(offset));
    if (decoded.status == link::DecodeStatus::Complete) return {offset, std::move(decoded)};
    if (decoded.status == link::DecodeStatus::NeedMore && !arriving) arriving = offset;
  }
  // A frame is at most kMaxFrame bytes, so what is kept for a request still arriving is too.
  return {arriving.value_or(input.size()), {}};
}

}  // namespace keycard::emulator
