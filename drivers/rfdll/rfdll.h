/* Byte-to-text helper. */
#ifndef KEYCARD_RFDLL_H
#define KEYCARD_RFDLL_H

#include <stdint.h>

#include "drivers/DriverApi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Writes two capital hex digits per byte of source[0..count), high nibble first, into
 * text[0..2*count) and nothing else (no terminating zero). Returns 0, or -1 (bad argument) and
 * writes nothing when a pointer is null or count is 0 or less. */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL hextostr(const unsigned char* source, char* text,
                                                 int32_t count);

#ifdef __cplusplus
}
#endif

#endif /* KEYCARD_RFDLL_H */
