// Stand-in for libMF_API.so: logs every call and returns the scripted result.
#include <cstring>
#include <string>

#include "Recorder.h"

namespace {
std::string num(std::int32_t value) {
  return std::to_string(value);
}
}  // namespace

extern "C" {

std::int32_t MF_InitComm(const char* port, std::int32_t baud) {
  return standin::record("MF_InitComm", std::string(port) + ", " + num(baud));
}

std::int32_t MF_ExitComm() {
  return standin::record("MF_ExitComm", "");
}

std::int32_t ML_GetDevice_Ver(std::int32_t device, char* version) {
  return standin::record("ML_GetDevice_Ver", num(device) + ", \"" + version + "\"");
}

std::int32_t ML_ControlRF(std::int32_t device, std::int32_t mode) {
  return standin::record("ML_ControlRF", num(device) + ", " + num(mode));
}

std::int32_t ML_ControlBeep(std::int32_t device, std::int32_t value) {
  return standin::record("ML_ControlBeep", num(device) + ", " + num(value));
}

// A failed read scribbles over the buffer, as a driver may, so a caller that shows it anyway
// is caught.
std::int32_t T5557_ReadCard(std::int32_t device, unsigned char* buffer) {
  const std::int32_t result = standin::record("T5557_ReadCard", num(device));
  if (result >= 0) {
    std::memcpy(buffer, standin::card().data(), standin::card().size());
  } else {
    std::memset(buffer, 0xEE, standin::card().size());
  }
  return result;
}

std::int32_t T5557_WriteCard(std::int32_t device, unsigned char* buffer) {
  return standin::record("T5557_WriteCard", num(device) + ", " + standin::hex(buffer, 24));
}

std::int32_t EM4150_WriteBlock(std::int32_t device, std::int32_t block, unsigned char* data) {
  return standin::record("EM4150_WriteBlock",
                         num(device) + ", " + num(block) + ", " + standin::hex(data, 4));
}

std::int32_t EM4150_ReadBlock(std::int32_t device, std::int32_t block, unsigned char*) {
  return standin::record("EM4150_ReadBlock", num(device) + ", " + num(block));
}

}  // extern "C"
