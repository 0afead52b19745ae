// One exchange with an emulator over its line, as a driver makes it but without the driver's
// checks, so a test sees exactly what the emulator answered.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "emulator/card/Card.h"
#include "link/Frame.h"
#include "link/SerialLine.h"

namespace keycard::testing {

struct Answer {
  std::string replyHex;  // the reply's payload, status first; "(no reply)" when none came
  std::chrono::milliseconds took{0};
};

// Sends `noise`, then the request, and waits up to 2 s for a whole frame.
inline Answer exchange(link::SerialLine& line, link::Command command,
                       std::span<const std::uint8_t> payload,
                       std::span<const std::uint8_t> noise = {}) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const link::Deadline deadline(start + std::chrono::seconds(2));
  std::vector<std::uint8_t> sent(noise.begin(), noise.end());
  const auto request = link::encodeFrame(0, static_cast<std::uint8_t>(command), payload);
  sent.insert(sent.end(), request.begin(), request.end());
  if (line.writeAll(sent, deadline) != link::SerialLine::IoResult::Ok) return {"(unsent)"};
  std::vector<std::uint8_t> received;
  while (line.readSome(received, deadline) == link::SerialLine::IoResult::Ok) {
    const link::DecodeResult decoded = link::decodeFrame(received);
    if (decoded.status == link::DecodeStatus::NeedMore) continue;
    if (decoded.status != link::DecodeStatus::Complete) break;
    return {emulator::toHex(decoded.frame.payload),
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)};
  }
  return {"(no reply)"};
}

}  // namespace keycard::testing
