#include "tests/ui/standins/Recorder.h"

namespace keycard::standin {

Recorder& recorder() {
  static Recorder instance;
  return instance;
}

std::string hex(const unsigned char* bytes, std::size_t count) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) text += ' ';
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}

}  // namespace keycard::standin
