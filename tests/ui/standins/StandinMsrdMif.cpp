// Stand-in for libMSRD_MIF.so: logs every call and returns the scripted result.
#include <cstring>
#include <string>

#include "Recorder.h"

namespace {
std::string num(std::int32_t value) {
  return std::to_string(value);
}
unsigned char* bufferIn(const std::intptr_t* cell) {
  return reinterpret_cast<unsigned char*>(*cell);
}
}  // namespace

extern "C" {

std::int32_t auto_open(std::int32_t* portIndex) {
  return standin::record("auto_open", num(*portIndex));
}

std::int32_t closecomm(std::int32_t handle) {
  return standin::record("closecomm", num(handle));
}

std::int32_t dv_beep(std::int32_t handle, std::int32_t value) {
  return standin::record("dv_beep", num(handle) + ", " + num(value));
}

std::int32_t wrkey_mif1(std::int32_t handle, std::intptr_t* bufferCell) {
  return standin::record("wrkey_mif1", num(handle) + ", " + standin::hex(bufferIn(bufferCell), 24));
}

std::int32_t rdkey_mif1(std::int32_t handle, std::intptr_t* bufferCell) {
  const std::int32_t result = standin::record("rdkey_mif1", num(handle));
  if (result == 0) {
    std::memcpy(bufferIn(bufferCell), standin::card().data(), standin::card().size());
  } else {
    std::memset(bufferIn(bufferCell), 0xEE, standin::card().size());
  }
  return result;
}

}  // extern "C"
