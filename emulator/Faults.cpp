#include "Faults.h"

#include <array>
#include <utility>

namespace keycard::emulator {

std::optional<Fault> parseFault(std::string_view name) {
  static constexpr std::array<std::pair<std::string_view, Fault>, 8> kNames{{
      {"silent", Fault::Silent},
      {"late", Fault::Late},
      {"corrupt", Fault::Corrupt},
      {"truncate", Fault::Truncate},
      {"garbage", Fault::Garbage},
      {"oversize", Fault::Oversize},
      {"hangup", Fault::Hangup},
      {"tear", Fault::Tear},
  }};
  for (const auto& [text, fault] : kNames) {
    if (name == text) return fault;
  }
  return std::nullopt;
}

Delivery shapeReply(Fault fault, std::vector<std::uint8_t> frame) {
  Delivery delivery;
  switch (fault) {
    case Fault::None:
    case Fault::Tear:
      break;
    case Fault::Silent:
      frame.clear();
      break;
    case Fault::Late:
      delivery.delay = kLateDelay;
      break;
    case Fault::Corrupt:
      frame.back() ^= 0xFF;  // the low CRC byte no longer matches
      break;
    case Fault::Truncate:
      frame.resize(frame.size() - 2);  // everything but the CRC
      break;
    case Fault::Garbage:
      frame.insert(frame.begin(), std::begin(kGarbage), std::end(kGarbage));
      break;
    case Fault::Oversize:
      frame[1] = 0xFF;  // far beyond the longest body a frame can have
      break;
    case Fault::Hangup:
      frame.resize(frame.size() / 2);
      delivery.hangUpAfter = true;
      break;
  }
  delivery.bytes = std::move(frame);
  return delivery;
}

}  // namespace keycard::emulator
