// The proximity reader's driver library, libMF_API.so, bound at the first call.
// Every operation returns kMissingDriver when the library or the operation is missing.
#pragma once

#include <cstdint>

namespace keycard::MF_API {

std::int32_t MF_InitComm(const char* port, std::int32_t baud);
std::int32_t MF_ExitComm();
std::int32_t ML_GetDevice_Ver(std::int32_t device, char* version);
std::int32_t ML_ControlRF(std::int32_t device, std::int32_t mode);
std::int32_t ML_ControlBeep(std::int32_t device, std::int32_t value);
std::int32_t T5557_ReadCard(std::int32_t device, unsigned char* buffer);
std::int32_t T5557_WriteCard(std::int32_t device, unsigned char* buffer);
std::int32_t EM4150_WriteBlock(std::int32_t device, std::int32_t block, unsigned char* data);
std::int32_t EM4150_ReadBlock(std::int32_t device, std::int32_t block, unsigned char* data);

}  // namespace keycard::MF_API
