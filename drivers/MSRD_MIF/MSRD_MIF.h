/* The Mifare reader's driver: key cards on Mifare Classic (and compatible) cards, on a serial
 * reader or a PN532 board on the chosen port or, when KEYCARD_MIFARE_READER says so at auto_open,
 * on a PC/SC reader. auto_open returns a handle (above 0) that every later call passes first; one
 * handle per port, handles never reused.
 *
 * Every operation returns a signed 32-bit result: auto_open the handle, the others 0 on success;
 * otherwise one of the codes in drivers/DriverApi.h, with one line on stderr that says why.
 * Besides the codes listed with each operation, every one that talks to the reader may give
 *   KEYCARD_ERR_PORT       the line (or pcscd) failed or hung up,
 *   KEYCARD_ERR_TIMEOUT    the reader did not answer in time (a PC/SC one within 1 s),
 *   KEYCARD_ERR_FRAME      its answer was no valid frame,
 *   KEYCARD_ERR_READER     it refused the command (another kind of reader?),
 *   KEYCARD_ERR_NO_MEMORY  the library ran out of memory.
 *
 * Threads: any operation may be called from any thread, on any handle. The library serves one
 * call at a time for all handles together, so a slow reader delays calls on the others. */
#ifndef KEYCARD_MSRD_MIF_H
#define KEYCARD_MSRD_MIF_H

#include <stdint.h>

#include "drivers/DriverApi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Opens port index *portIndex (0 = "COM1" ... 9 = "COM10") and checks that a reader answers;
 * with KEYCARD_MIFARE_READER=pcsc (or pcsc:NAME) the first PC/SC reader (whose name contains
 * NAME) instead, and *portIndex is not read. Opening a port that is already open closes its old
 * handle first.
 * @return the handle, above 0
 * @retval KEYCARD_ERR_ARGUMENT  the cell is null, the index is not 0 to 9, or
 *                               KEYCARD_MIFARE_READER names no reader
 * @retval KEYCARD_ERR_PORT      the port cannot be opened (missing, no serial device, no
 *                               permission, in use, not to be trusted), or no PC/SC reader */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL auto_open(int32_t* portIndex);

/* Closes the handle's reader. Says nothing on stderr when there is none: callers close 0 and a
 * failed open's result as a matter of course.
 * @retval 0                     the reader is closed
 * @retval KEYCARD_ERR_NOT_OPEN  no reader is open under the handle */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL closecomm(int32_t handle);

/* Passes the beep value to the reader (1 one beep, 2 two beeps).
 * @retval 0                     the reader took it
 * @retval KEYCARD_ERR_ARGUMENT  the value is not 0 to 255
 * @retval KEYCARD_ERR_NOT_OPEN  no reader is open under the handle */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL dv_beep(int32_t handle, int32_t value);

/* *bufferCell holds the address of the 24-byte key card image to write; it is read back.
 * @retval 0                      the card holds exactly the image
 * @retval KEYCARD_ERR_ARGUMENT   the cell or the address in it is null
 * @retval KEYCARD_ERR_NOT_OPEN   no reader is open under the handle
 * @retval KEYCARD_ERR_NO_CARD    no card on the reader
 * @retval KEYCARD_ERR_CARD_KIND  the card is no Mifare Classic 1K
 * @retval KEYCARD_ERR_AUTH       the card's sector does not open with the key
 * @retval KEYCARD_ERR_VERIFY     the card does not hold what was written, or the reader could
 *                                not write it: the card may hold part of the image */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL wrkey_mif1(int32_t handle, intptr_t* bufferCell);

/* *bufferCell holds the address of a 24-byte buffer, filled only on success.
 * @retval 0                      the image is in the buffer
 * @retval KEYCARD_ERR_ARGUMENT   the cell or the address in it is null
 * @retval KEYCARD_ERR_NOT_OPEN   no reader is open under the handle
 * @retval KEYCARD_ERR_NO_CARD    no card on the reader
 * @retval KEYCARD_ERR_CARD_KIND  the card is no Mifare Classic 1K
 * @retval KEYCARD_ERR_AUTH       the card's sector does not open with the key */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL rdkey_mif1(int32_t handle, intptr_t* bufferCell);

#ifdef __cplusplus
}
#endif

#endif /* KEYCARD_MSRD_MIF_H */
