#include "link/Frame.h"

namespace keycard::link {

std::uint16_t crc16(std::span<const std::uint8_t> bytes) {
  std::uint16_t crc = 0xFFFF;
  for (std::uint8_t byte : bytes) {
    crc = static_cast<std::uint16_t>(crc ^ (byte << 8));
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x8000) != 0 ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                                : static_cast<std::uint16_t>(crc << 1);
    }
  }
  return crc;
}

std::vector<std::uint8_t> encodeFrame(std::uint8_t sequence, std::uint8_t command,
                                      std::span<const std::uint8_t> payload) {
  if (payload.size() > kMaxPayload) return {};
  std::vector<std::uint8_t> frame;
  frame.reserve(payload.size() + 1 + kFrameOverhead);
  frame.push_back(kStartByte);
  frame.push_back(static_cast<std::uint8_t>(payload.size() + 1));
  frame.push_back(sequence);
  frame.push_back(command);
  frame.insert(frame.end(), payload.begin(), payload.end());
  const std::uint16_t crc = crc16(std::span(frame).subspan(1));
  frame.push_back(static_cast<std::uint8_t>(crc >> 8));
  frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  return frame;
}

DecodeResult decodeFrame(std::span<const std::uint8_t> bytes) {
  DecodeResult result;
  if (bytes.empty()) return result;
  if (bytes[0] != kStartByte) {
    result.status = DecodeStatus::BadStart;
    return result;
  }
  if (bytes.size() < 2) return result;
  const std::size_t bodyLength = bytes[1];
  if (bodyLength == 0 || bodyLength > kMaxBody) {
    result.status = DecodeStatus::BadLength;
    return result;
  }
  const std::size_t frameLength = bodyLength + kFrameOverhead;
  if (bytes.size() < frameLength) return result;

  const auto checked = bytes.subspan(1, frameLength - 3);
  const auto expected =
      static_cast<std::uint16_t>((bytes[frameLength - 2] << 8) | bytes[frameLength - 1]);
  if (crc16(checked) != expected) {
    result.status = DecodeStatus::BadCrc;
    return result;
  }
  result.status = DecodeStatus::Complete;
  result.frame.sequence = bytes[2];
  result.frame.command = bytes[3];
  result.frame.payload.assign(bytes.begin() + 4,
                              bytes.begin() + static_cast<std::ptrdiff_t>(frameLength - 2));
  result.consumed = frameLength;
  return result;
}

const char* describe(DecodeStatus status) {
  switch (status) {
    case DecodeStatus::Complete:
      return "complete frame";
    case DecodeStatus::NeedMore:
      return "incomplete frame";
    case DecodeStatus::BadStart:
      return "no start byte";
    case DecodeStatus::BadLength:
      return "length out of range";
    case DecodeStatus::BadCrc:
      return "checksum mismatch";
  }
  return "unknown decode status";
}

}  // namespace keycard::link
