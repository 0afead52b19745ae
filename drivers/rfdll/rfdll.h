/* Byte-to-text helper. Returns 0, or one of the codes in drivers/DriverApi.h. */
#ifndef KEYCARD_RFDLL_H
#define KEYCARD_RFDLL_H

#include <stdint.h>

#include "drivers/DriverApi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Writes two capital hex digits per byte of source[0..count), high nibble first, into
 * text[0..2*count) and nothing else (no terminating zero). May be called from any thread.
 * @retval 0                     the digits are written
 * @retval KEYCARD_ERR_ARGUMENT  a pointer is null or count is 0 or less; nothing is written */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL hextostr(const unsigned char* source, char* text,
                                                 int32_t count);

#ifdef __cplusplus
}
#endif

#endif /* KEYCARD_RFDLL_H */
