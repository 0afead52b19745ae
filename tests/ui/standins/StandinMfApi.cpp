// Stand-in for libMF_API.so: logs every call and returns the scripted result. Its definitions
// meet the driver's own declarations, so a changed signature does not compile here.
#include "drivers/MF_API/MF_API.h"
#include "tests/ui/standins/Recorder.h"

using keycard::standin::hex;
using keycard::standin::recorder;

extern "C" {

std::int32_t MF_InitComm(const char* port, std::int32_t baud) {
  return recorder().record("MF_InitComm", std::string(port) + ", " + std::to_string(baud));
}

std::int32_t MF_ExitComm() {
  return recorder().record("MF_ExitComm", "");
}

std::int32_t ML_GetDevice_Ver(std::int32_t device, char* version) {
  return recorder().record("ML_GetDevice_Ver", std::to_string(device) + ", \"" + version + "\"");
}

std::int32_t ML_ControlRF(std::int32_t device, std::int32_t mode) {
  return recorder().record("ML_ControlRF", std::to_string(device) + ", " + std::to_string(mode));
}

std::int32_t ML_ControlBeep(std::int32_t device, std::int32_t value) {
  return recorder().record("ML_ControlBeep", std::to_string(device) + ", " + std::to_string(value));
}

std::int32_t T5557_ReadCard(std::int32_t device, unsigned char* buffer) {
  const std::int32_t result = recorder().record("T5557_ReadCard", std::to_string(device));
  recorder().fillReadBuffer(buffer, result >= 0);
  return result;
}

std::int32_t T5557_WriteCard(std::int32_t device, unsigned char* buffer) {
  return recorder().record(
      "T5557_WriteCard", std::to_string(device) + ", " + hex(buffer, keycard::link::kKeyCardSize));
}

std::int32_t EM4150_WriteBlock(std::int32_t device, std::int32_t block, unsigned char* data) {
  return recorder().record("EM4150_WriteBlock", std::to_string(device) + ", " +
                                                    std::to_string(block) + ", " + hex(data, 4));
}

}  // extern "C"
