// A build of the proximity driver that lacks every operation but MF_InitComm.
#include "drivers/MF_API/MF_API.h"

int32_t KEYCARD_CALL MF_InitComm(const char* /*port*/, int32_t baud) {
  return baud == 9600 ? 42 : KEYCARD_ERR_ARGUMENT;
}
