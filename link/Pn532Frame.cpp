#include "link/Pn532Frame.h"

#include <algorithm>
#include <numeric>

namespace keycard::link::pn532 {
namespace {

std::uint8_t sum(std::span<const std::uint8_t> bytes) {
  return static_cast<std::uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
}

// Start code, LEN, LCS and the postamble around the body and DCS.
constexpr std::size_t kHeader = 4;

}  // namespace

std::vector<std::uint8_t> encodeFrame(std::span<const std::uint8_t> body) {
  if (body.empty() || body.size() > kMaxBody) return {};
  const auto length = static_cast<std::uint8_t>(body.size());
  std::vector<std::uint8_t> frame = {0x00, 0x00, 0xFF, length,
                                     static_cast<std::uint8_t>(0x100 - length)};
  frame.insert(frame.end(), body.begin(), body.end());
  frame.push_back(static_cast<std::uint8_t>(0x100 - sum(body)));
  frame.push_back(0x00);
  return frame;
}

Parse parseFrame(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& body,
                 std::size_t& consumed) {
  consumed = 0;
  constexpr std::array<std::uint8_t, 2> kStartCode = {0x00, 0xFF};
  const auto found = std::search(bytes.begin(), bytes.end(), kStartCode.begin(), kStartCode.end());
  if (found == bytes.end()) return Parse::Incomplete;
  const auto frame = bytes.subspan(static_cast<std::size_t>(found - bytes.begin()));
  const std::size_t skipped = bytes.size() - frame.size();
  if (frame.size() < kHeader) return Parse::Incomplete;

  const std::uint8_t length = frame[2];
  const std::uint8_t lengthCheck = frame[3];
  const auto finish = [&](std::size_t size, Parse parse) {
    if (frame.size() < size) return Parse::Incomplete;
    consumed = skipped + size;
    return frame[size - 1] == 0x00 ? parse : Parse::Bad;
  };
  if (length == 0x00 && lengthCheck == 0xFF) return finish(kHeader + 1, Parse::Ack);
  if (length == 0xFF && lengthCheck == 0x00) return finish(kHeader + 1, Parse::Nack);
  if (length == 0x00 || static_cast<std::uint8_t>(length + lengthCheck) != 0) {
    // The length cannot be trusted (or is an extended frame's marker): drop the start code only,
    // so a real frame behind it is still found.
    consumed = skipped + kStartCode.size();
    return Parse::Bad;
  }

  const std::size_t size = kHeader + length + 2;
  const Parse shape = finish(size, Parse::Information);
  if (shape != Parse::Information) return shape;
  const auto inner = frame.subspan(kHeader, length);
  if (static_cast<std::uint8_t>(sum(inner) + frame[kHeader + length]) != 0) return Parse::Bad;
  if (length == 1) return inner[0] == 0x7F ? Parse::Error : Parse::Bad;
  if (inner[0] != kHostToBoard && inner[0] != kBoardToHost) return Parse::Bad;
  body.assign(inner.begin(), inner.end());
  return Parse::Information;
}

const char* describe(Parse parse) {
  switch (parse) {
    case Parse::Incomplete:
      return "incomplete frame";
    case Parse::Bad:
      return "bad frame";
    case Parse::Ack:
      return "ACK";
    case Parse::Nack:
      return "NACK";
    case Parse::Error:
      return "error frame";
    case Parse::Information:
      return "information frame";
  }
  return "unknown parse result";
}

}  // namespace keycard::link::pn532
