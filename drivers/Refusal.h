// How a driver operation refuses its caller: one line on stderr that says why, and the code.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>

namespace keycard::drivers {

// Writes "<operation>: <why>" as one line on stderr and returns `code`, so that an entry point
// refuses in one statement:
//   return refuse(link::kErrArgument, "T5557_ReadCard", "the buffer is null");
// The line is written in one call, so lines of concurrent callers do not interleave.
[[gnu::format(printf, 3, 4)]] inline std::int32_t refuse(std::int32_t code, const char* operation,
                                                         const char* why, ...) {
  char reason[256];
  std::va_list args;
  va_start(args, why);
  std::vsnprintf(reason, sizeof reason, why, args);
  va_end(args);
  std::fprintf(stderr, "%s: %s\n", operation, reason);
  return code;
}

}  // namespace keycard::drivers
