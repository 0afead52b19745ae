#include "drivers/rfdll/rfdll.h"

#include <cstddef>

#include "link/Errors.h"

int32_t KEYCARD_CALL hextostr(const unsigned char* source, char* text, int32_t count) {
  if (source == nullptr || text == nullptr || count <= 0) return keycard::link::kErrArgument;
  constexpr char kDigits[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
    text[2 * i] = kDigits[source[i] >> 4];
    text[2 * i + 1] = kDigits[source[i] & 0x0F];
  }
  return 0;
}
