// Stand-in for librfdll.so: logs the call (the bytes and the text it was handed) and writes
// the hex digits as the real library does.
#include <string>

#include "Recorder.h"

extern "C" std::int32_t hextostr(const unsigned char* source, char* text, std::int32_t count) {
  const auto bytes = static_cast<std::size_t>(count);
  const std::int32_t result =
      standin::record("hextostr", standin::hex(source, bytes) + ", \"" + std::string(text) +
                                      "\", " + std::to_string(count));
  const std::string digits = standin::hex(source, bytes);  // "33 30 33"
  std::size_t out = 0;
  for (const char c : digits) {
    if (c != ' ') text[out++] = c;
  }
  return result;
}
