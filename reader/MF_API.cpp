#include "reader/MF_API.h"

#include "drivers/MF_API/MF_API.h"
#include "reader/LazyLibrary.h"

namespace keycard::MF_API {
namespace {

reader::LazyLibrary& library() {
  static reader::LazyLibrary instance("libMF_API.so");
  return instance;
}

}  // namespace

// Each operation binds the symbol of its own name (__func__) once, at its first call, as the
// type the driver's header declares.

std::int32_t MF_InitComm(const char* port, std::int32_t baud) {
  static auto* const bound = reader::resolveAs<decltype(::MF_InitComm)>(library(), __func__);
  return reader::callBound(bound, port, baud);
}

std::int32_t MF_ExitComm() {
  static auto* const bound = reader::resolveAs<decltype(::MF_ExitComm)>(library(), __func__);
  return reader::callBound(bound);
}

std::int32_t ML_GetDevice_Ver(std::int32_t device, char* version) {
  static auto* const bound = reader::resolveAs<decltype(::ML_GetDevice_Ver)>(library(), __func__);
  return reader::callBound(bound, device, version);
}

std::int32_t ML_ControlRF(std::int32_t device, std::int32_t mode) {
  static auto* const bound = reader::resolveAs<decltype(::ML_ControlRF)>(library(), __func__);
  return reader::callBound(bound, device, mode);
}

std::int32_t ML_ControlBeep(std::int32_t device, std::int32_t value) {
  static auto* const bound = reader::resolveAs<decltype(::ML_ControlBeep)>(library(), __func__);
  return reader::callBound(bound, device, value);
}

std::int32_t T5557_ReadCard(std::int32_t device, unsigned char* buffer) {
  static auto* const bound = reader::resolveAs<decltype(::T5557_ReadCard)>(library(), __func__);
  return reader::callBound(bound, device, buffer);
}

std::int32_t T5557_WriteCard(std::int32_t device, unsigned char* buffer) {
  static auto* const bound = reader::resolveAs<decltype(::T5557_WriteCard)>(library(), __func__);
  return reader::callBound(bound, device, buffer);
}

std::int32_t EM4150_WriteBlock(std::int32_t device, std::int32_t block, unsigned char* data) {
  static auto* const bound = reader::resolveAs<decltype(::EM4150_WriteBlock)>(library(), __func__);
  return reader::callBound(bound, device, block, data);
}

std::int32_t EM4150_ReadBlock(std::int32_t device, std::int32_t block, unsigned char* data) {
  static auto* const bound = reader::resolveAs<decltype(::EM4150_ReadBlock)>(library(), __func__);
  return reader::callBound(bound, device, block, data);
}

}  // namespace keycard::MF_API
