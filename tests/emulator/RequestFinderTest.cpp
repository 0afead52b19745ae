#include "emulator/serial/RequestFinder.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace keycard::emulator {
namespace {

using Bytes = std::vector<std::uint8_t>;
using link::DecodeStatus;

Bytes operator+(Bytes front, const Bytes& back) {
  front.insert(front.end(), back.begin(), back.end());
  return front;
}

TEST(RequestFinder, SkipsTheNoiseBeforeARequestUpToItsStartByte) {
  const Bytes request =
      link::encodeFrame(0, static_cast<std::uint8_t>(link::Command::ReadBlock), {{5}});
  Bytes badChecksum = request;
  badChecksum.back() ^= 0xFF;
  const Bytes half(request.begin(), request.begin() + 3);
  const std::tuple<const char*, Bytes, std::size_t, DecodeStatus> rows[] = {
      {"a request alone", request, 0, DecodeStatus::Complete},
      {"two requests: the first", request + request, 0, DecodeStatus::Complete},
      {"noise without a start byte", Bytes{0xFF, 0x00, 0x55} + request, 3, DecodeStatus::Complete},
      {"a start byte with a bad length", Bytes{0xFF, 0x02, 0x00} + request, 3,
       DecodeStatus::Complete},
      {"a start byte whose length swallows the request", Bytes{0x02, 0x08} + request, 2,
       DecodeStatus::Complete},
      {"a request with a bad checksum", badChecksum + request, request.size(),
       DecodeStatus::Complete},
      {"half a request", half, 0, DecodeStatus::NeedMore},
      {"noise, then half a request", Bytes{0xFF, 0xFE} + half, 2, DecodeStatus::NeedMore},
      {"noise alone", Bytes{0xFF, 0x00, 0x55, 0xAA}, 4, DecodeStatus::NeedMore},
      {"nothing", Bytes{}, 0, DecodeStatus::NeedMore},
  };
  for (const auto& [name, input, noise, status] : rows) {
    SCOPED_TRACE(name);
    const FoundRequest found = findRequest(input);
    EXPECT_EQ(found.noise, noise);
    ASSERT_EQ(found.decoded.status, status);
    if (status == DecodeStatus::Complete) {
      EXPECT_EQ(found.decoded.consumed, request.size());
      EXPECT_EQ(found.decoded.frame.payload, Bytes{5});
    }
  }
}

}  // namespace
}  // namespace keycard::emulator
