/* The Mifare reader's driver: key cards on Mifare Classic (and compatible) cards. auto_open returns
 * a handle (above 0) that every later call passes first; one handle per port.
 *
 * auto_open gives the handle or a negative error code; the card operations give 0 on success;
 * every negative result is one of the error codes listed in link/PROTOCOL.md. */
#ifndef KEYCARD_MSRD_MIF_H
#define KEYCARD_MSRD_MIF_H

#include <stdint.h>

#include "drivers/DriverApi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Opens port index *portIndex (0 = "COM1" ... 9 = "COM10") and checks that a reader answers.
 * Opening a port that is already open closes its old handle first. */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL auto_open(int32_t* portIndex);
/* Closes the handle's port; 0, negative and unknown handles are ignored. */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL closecomm(int32_t handle);
/* Beep value 0 to 255 (1 one beep, 2 two beeps), passed to the reader. */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL dv_beep(int32_t handle, int32_t value);
/* *bufferCell holds the address of the 24-byte key card image to write; it is read back and 0
 * is returned only when the card holds exactly that. */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL wrkey_mif1(int32_t handle, intptr_t* bufferCell);
/* *bufferCell holds the address of a 24-byte buffer, filled only on success. */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL rdkey_mif1(int32_t handle, intptr_t* bufferCell);

#ifdef __cplusplus
}
#endif

#endif /* KEYCARD_MSRD_MIF_H */
