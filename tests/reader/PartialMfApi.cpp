// A build of the proximity driver that lacks every operation but MF_InitComm.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) std::int32_t MF_InitComm(const char*,
                                                                           std::int32_t baud) {
  return baud == 9600 ? 42 : -1;
}
