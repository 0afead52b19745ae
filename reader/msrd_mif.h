// The Mifare reader's driver library, libMSRD_MIF.so, bound at the first call.
// Every operation returns kMissingDriver when the library or the operation is missing.
#pragma once

#include <cstdint>

namespace keycard::msrd_mif {

std::int32_t auto_open(std::int32_t* portIndex);
std::int32_t closecomm(std::int32_t handle);
std::int32_t dv_beep(std::int32_t handle, std::int32_t value);
// bufferCell holds the address of the 24-byte card buffer.
std::int32_t wrkey_mif1(std::int32_t handle, std::intptr_t* bufferCell);
std::int32_t rdkey_mif1(std::int32_t handle, std::intptr_t* bufferCell);

}  // namespace keycard::msrd_mif
