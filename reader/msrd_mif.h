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

// The library's other Mifare operations, which the window never calls: select a card, read and
// write one 16-byte block, read the record. Declared and deliberately left unbound, so a caller
// fails to link instead of reaching a driver that need not provide them.
std::int32_t select_mif1(std::int32_t handle, std::intptr_t* uidCell);
std::int32_t rd_mif1(std::int32_t handle, std::int32_t block, std::intptr_t* dataCell);
std::int32_t wr_mif1(std::int32_t handle, std::int32_t block, std::intptr_t* dataCell);
std::int32_t rdrec_mif1(std::int32_t handle, std::intptr_t* bufferCell);

}  // namespace keycard::msrd_mif
