/* The proximity reader's driver: one serial port at a time, T5557 and EM4469 key cards, and
 * single 4-byte blocks of EM4469 data cards.
 *
 * Every operation returns a signed 32-bit result: 0 on success, otherwise one of the codes in
 * drivers/DriverApi.h, with one line on stderr that says why. Besides the codes listed with each
 * operation, every one that talks to the reader may give
 *   KEYCARD_ERR_NOT_OPEN   no port is open (MF_InitComm first),
 *   KEYCARD_ERR_PORT       the line failed or hung up,
 *   KEYCARD_ERR_TIMEOUT    the reader did not answer in time,
 *   KEYCARD_ERR_FRAME      its answer was no valid frame,
 *   KEYCARD_ERR_READER     it refused the command (another kind of reader?),
 *   KEYCARD_ERR_NO_MEMORY  the library ran out of memory.
 *
 * Threads: the library holds its one port globally. Any operation may be called from any thread;
 * calls are served one at a time, and all of them act on that same port, so a thread's
 * MF_InitComm or MF_ExitComm closes the port under every other thread.
 *
 * The device value is accepted for compatibility and ignored. */
#ifndef KEYCARD_MF_API_H
#define KEYCARD_MF_API_H

#include <stdint.h>

#include "drivers/DriverApi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Opens "COM1" to "COM10" at `baud` (only 9600), closing the port opened before, even when the
 * new one fails to open.
 * @retval 0                     the port is open (whether a reader is on it is not checked)
 * @retval KEYCARD_ERR_ARGUMENT  the name is null or no COMn, or the baud rate is not 9600
 * @retval KEYCARD_ERR_PORT      the port cannot be opened: missing, no serial device, no
 *                               permission, in use, or not to be trusted */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL MF_InitComm(const char* port, int32_t baud);

/* Closes the open port, if any.
 * @retval 0  always */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL MF_ExitComm(void);

/* Asks the reader for its version. Writes nothing into `version`.
 * @retval 0  the reader answered */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL ML_GetDevice_Ver(int32_t dev, char* version);

/* Passes the mode to the reader.
 * @retval 0                     the reader took it
 * @retval KEYCARD_ERR_ARGUMENT  the mode is not 0 to 255 */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL ML_ControlRF(int32_t dev, int32_t mode);

/* Passes the beep value to the reader (1 one beep, 2 two beeps).
 * @retval 0                     the reader took it
 * @retval KEYCARD_ERR_ARGUMENT  the value is not 0 to 255 */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL ML_ControlBeep(int32_t dev, int32_t value);

/* Reads the 24-byte key card image into `buffer24`, which is untouched on failure.
 * @retval 0                      the image is in the buffer
 * @retval KEYCARD_ERR_ARGUMENT   the buffer is null
 * @retval KEYCARD_ERR_NO_CARD    no card on the reader
 * @retval KEYCARD_ERR_CARD_KIND  the card is neither T5557 nor EM4469 */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL T5557_ReadCard(int32_t dev, unsigned char* buffer24);

/* Writes the 24-byte image and reads it back.
 * @retval 0                      the card holds exactly the image
 * @retval KEYCARD_ERR_ARGUMENT   the buffer is null
 * @retval KEYCARD_ERR_NO_CARD    no card on the reader
 * @retval KEYCARD_ERR_CARD_KIND  the card is neither T5557 nor EM4469
 * @retval KEYCARD_ERR_VERIFY     the card does not hold what was written, or the reader could
 *                                not write it: the card may hold part of the image */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL T5557_WriteCard(int32_t dev, unsigned char* buffer24);

/* Writes one 4-byte word of an EM4469 card and reads it back.
 * @retval 0                      the card holds the word
 * @retval KEYCARD_ERR_ARGUMENT   the data is null, or the word is not 0 to 15 or is the UID
 *                                (word 1)
 * @retval KEYCARD_ERR_NO_CARD    no card on the reader
 * @retval KEYCARD_ERR_CARD_KIND  the card is not EM4469
 * @retval KEYCARD_ERR_VERIFY     the card does not hold what was written */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL EM4150_WriteBlock(int32_t dev, int32_t block,
                                                          unsigned char* data4);

/* Reads one 4-byte word of an EM4469 card into `data4`, untouched on failure.
 * @retval 0                      the word is in `data4`
 * @retval KEYCARD_ERR_ARGUMENT   the data is null, or the word is not 0 to 15
 * @retval KEYCARD_ERR_NO_CARD    no card on the reader
 * @retval KEYCARD_ERR_CARD_KIND  the card is not EM4469 */
KEYCARD_DRIVER_API int32_t KEYCARD_CALL EM4150_ReadBlock(int32_t dev, int32_t block,
                                                         unsigned char* data4);

#ifdef __cplusplus
}
#endif

#endif /* KEYCARD_MF_API_H */
