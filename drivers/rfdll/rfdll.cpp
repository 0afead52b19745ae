#include "drivers/rfdll/rfdll.h"

#include <cstddef>

#include "link/Errors.h"

int32_t KEYCARD_CALL hextostr(const unsigned char* source, char* text, int32_t count) {
  using keycard::drivers::refuse;
  using keycard::link::kErrArgument;
  if (source == nullptr) return refuse(kErrArgument, __func__, "the source is a null pointer");
  if (text == nullptr) return refuse(kErrArgument, __func__, "the text is a null pointer");
  if (count <= 0) return refuse(kErrArgument, __func__, "count %d is not above 0", count);
  constexpr char kDigits[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
    text[2 * i] = kDigits[source[i] >> 4];
    text[2 * i + 1] = kDigits[source[i] & 0x0F];
  }
  return 0;
}
