// Stand-in for libMSRD_MIF.so: logs every call and returns the scripted result. Its definitions
// meet the driver's own declarations, so a changed signature does not compile here.
#include "drivers/MSRD_MIF/MSRD_MIF.h"
#include "tests/ui/standins/Recorder.h"

using keycard::standin::hex;
using keycard::standin::recorder;

namespace {
// The card operations take the buffer through a cell that holds its address.
unsigned char* bufferIn(const std::intptr_t* cell) {
  return reinterpret_cast<unsigned char*>(*cell);
}
}  // namespace

extern "C" {

std::int32_t auto_open(std::int32_t* portIndex) {
  return recorder().record("auto_open", std::to_string(*portIndex));
}

std::int32_t closecomm(std::int32_t handle) {
  return recorder().record("closecomm", std::to_string(handle));
}

std::int32_t dv_beep(std::int32_t handle, std::int32_t value) {
  return recorder().record("dv_beep", std::to_string(handle) + ", " + std::to_string(value));
}

std::int32_t wrkey_mif1(std::int32_t handle, std::intptr_t* bufferCell) {
  return recorder().record(
      "wrkey_mif1",
      std::to_string(handle) + ", " + hex(bufferIn(bufferCell), keycard::link::kKeyCardSize));
}

std::int32_t rdkey_mif1(std::int32_t handle, std::intptr_t* bufferCell) {
  const std::int32_t result = recorder().record("rdkey_mif1", std::to_string(handle));
  recorder().fillReadBuffer(bufferIn(bufferCell), result == 0);
  return result;
}

}  // extern "C"
