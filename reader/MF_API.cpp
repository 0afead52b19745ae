#include "reader/MF_API.h"

#include "reader/LazyLibrary.h"

namespace keycard::MF_API {
namespace {

reader::LazyLibrary& library() {
  static reader::LazyLibrary instance("libMF_API.so");
  return instance;
}

using InitComm = std::int32_t KEYCARD_CALL(const char*, std::int32_t);
using NoArgs = std::int32_t KEYCARD_CALL();
using DeviceText = std::int32_t KEYCARD_CALL(std::int32_t, char*);
using DeviceValue = std::int32_t KEYCARD_CALL(std::int32_t, std::int32_t);
using DeviceBuffer = std::int32_t KEYCARD_CALL(std::int32_t, unsigned char*);
using DeviceBlock = std::int32_t KEYCARD_CALL(std::int32_t, std::int32_t, unsigned char*);

}  // namespace

// Each operation binds its own symbol once, at its first call.

std::int32_t MF_InitComm(const char* port, std::int32_t baud) {
  static auto* const bound = reader::resolveAs<InitComm>(library(), "MF_InitComm");
  return reader::callBound(bound, port, baud);
}

std::int32_t MF_ExitComm() {
  static auto* const bound = reader::resolveAs<NoArgs>(library(), "MF_ExitComm");
  return reader::callBound(bound);
}

std::int32_t ML_GetDevice_Ver(std::int32_t device, char* version) {
  static auto* const bound = reader::resolveAs<DeviceText>(library(), "ML_GetDevice_Ver");
  return reader::callBound(bound, device, version);
}

std::int32_t ML_ControlRF(std::int32_t device, std::int32_t mode) {
  static auto* const bound = reader::resolveAs<DeviceValue>(library(), "ML_ControlRF");
  return reader::callBound(bound, device, mode);
}

std::int32_t ML_ControlBeep(std::int32_t device, std::int32_t value) {
  static auto* const bound = reader::resolveAs<DeviceValue>(library(), "ML_ControlBeep");
  return reader::callBound(bound, device, value);
}

std::int32_t T5557_ReadCard(std::int32_t device, unsigned char* buffer) {
  static auto* const bound = reader::resolveAs<DeviceBuffer>(library(), "T5557_ReadCard");
  return reader::callBound(bound, device, buffer);
}

std::int32_t T5557_WriteCard(std::int32_t device, unsigned char* buffer) {
  static auto* const bound = reader::resolveAs<DeviceBuffer>(library(), "T5557_WriteCard");
  return reader::callBound(bound, device, buffer);
}

std::int32_t EM4150_WriteBlock(std::int32_t device, std::int32_t block, unsigned char* data) {
  static auto* const bound = reader::resolveAs<DeviceBlock>(library(), "EM4150_WriteBlock");
  return reader::callBound(bound, device, block, data);
}

std::int32_t EM4150_ReadBlock(std::int32_t device, std::int32_t block, unsigned char* data) {
  static auto* const bound = reader::resolveAs<DeviceBlock>(library(), "EM4150_ReadBlock");
  return reader::callBound(bound, device, block, data);
}

}  // namespace keycard::MF_API
