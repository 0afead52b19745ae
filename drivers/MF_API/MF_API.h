/* The proximity reader's driver: one serial port at a time, T5557 and EM4469 key cards, and
 * single 4-byte blocks of EM4469 data cards.
 *
 * Every operation returns a signed 32-bit result: MF_InitComm, MF_ExitComm, ML_GetDevice_Ver,
 * ML_ControlRF and ML_ControlBeep give 0 on success; the card and block operations give 0 or
 * more on success. A negative result is one of the error codes listed in link/PROTOCOL.md.
 * The device value is accepted for compatibility and ignored. */
#ifndef KEYCARD_MF_API_H
#define KEYCARD_MF_API_H

#include <stdint.h>

#include "drivers/DriverApi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Opens "COM1" to "COM10" at `baud` (only 9600), closing the port opened before. */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL MF_InitComm(const char* port, int32_t baud);
/* Closes the open port, if any. */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL MF_ExitComm(void);
/* Asks the reader for its version; 0 when it answers. Writes nothing into `version`. */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL ML_GetDevice_Ver(int32_t dev, char* version);
/* Mode 0 to 255, passed to the reader. */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL ML_ControlRF(int32_t dev, int32_t mode);
/* Beep value 0 to 255 (1 one beep, 2 two beeps), passed to the reader. */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL ML_ControlBeep(int32_t dev, int32_t value);
/* Reads the 24-byte key card image into `buffer24`, which is untouched on failure. */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL T5557_ReadCard(int32_t dev, unsigned char* buffer24);
/* Writes the 24-byte image and reads it back: 0 only when the card holds exactly that. */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL T5557_WriteCard(int32_t dev, unsigned char* buffer24);
/* Writes one 4-byte word of an EM4469 card (any word 0 to 15 but the UID, word 1) and reads it
 * back. */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL EM4150_WriteBlock(int32_t dev, int32_t block,
                                                          unsigned char* data4);
/* Reads one 4-byte word (0 to 15) of an EM4469 card into `data4`, untouched on failure. */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL EM4150_ReadBlock(int32_t dev, int32_t block,
                                                         unsigned char* data4);

#ifdef __cplusplus
}
#endif

#endif /* KEYCARD_MF_API_H */
