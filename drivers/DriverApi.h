/* What every driver library shares with its callers: the error codes its operations return, the
 * calling convention (__stdcall on 32-bit Windows, the platform's own elsewhere) and the mark
 * that exports them. Plain C; a C++ compiler also sees the two helpers with which the libraries'
 * own entry points keep to this contract. */
#ifndef KEYCARD_DRIVER_API_H
#define KEYCARD_DRIVER_API_H

#if defined(_WIN32) && !defined(_WIN64)
#define KEYCARD_CALL __stdcall
#else
#define KEYCARD_CALL
#endif

/* Exports an operation from a library built with hidden visibility (and from a stand-in that
 * defines the same operations); on a caller's declaration it changes nothing. */
#ifndef KEYCARD_DRIVER_API
#if defined(__GNUC__)
#define KEYCARD_DRIVER_API __attribute__((visibility("default")))
#else
#define KEYCARD_DRIVER_API
#endif
#endif

/* A failed operation returns one of these; the numbers never change. Success is 0 or more, as
 * each operation says. */
enum keycard_error {
  /* The caller passed a bad argument: a port name, a null buffer, a block number. */
  KEYCARD_ERR_ARGUMENT = -1,
  /* No port is open, or the handle is unknown. */
  KEYCARD_ERR_NOT_OPEN = -2,
  /* The serial line (or pcscd) cannot be opened, or failed or hung up. */
  KEYCARD_ERR_PORT = -3,
  /* The reader did not answer in time. */
  KEYCARD_ERR_TIMEOUT = -4,
  /* The reader's answer was not a valid frame. */
  KEYCARD_ERR_FRAME = -5,
  /* No card on the reader. */
  KEYCARD_ERR_NO_CARD = -6,
  /* The card on the reader is not of a kind this operation works on. */
  KEYCARD_ERR_CARD_KIND = -7,
  /* The card refused the key. */
  KEYCARD_ERR_AUTH = -8,
  /* The card does not hold what was written. */
  KEYCARD_ERR_VERIFY = -9,
  /* The reader refused the command (or the library failed inside). */
  KEYCARD_ERR_READER = -10,
  /* The library ran out of memory. */
  KEYCARD_ERR_NO_MEMORY = -11,
  /* Never returned by a library: a caller that loads the library at run time gives it when the
   * library, or the operation in it, cannot be found. */
  KEYCARD_ERR_MISSING_DRIVER = -20
};

#ifdef __cplusplus
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <new>

namespace keycard::drivers {

// A C caller cannot catch a C++ exception: each entry point runs its body through this.
template <typename Operation>
std::int32_t noThrow(Operation&& operation) noexcept {
  try {
    return operation();
  } catch (const std::bad_alloc&) {
    return KEYCARD_ERR_NO_MEMORY;
  } catch (...) {
    return KEYCARD_ERR_READER;  // the library failed inside; nothing else is thrown in practice
  }
}

// Writes "<operation>: <why>" as one line on stderr and returns `code`, so that an entry point
// refuses in one statement:
//   return refuse(KEYCARD_ERR_ARGUMENT, __func__, "the buffer is null");
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
#endif

#endif
