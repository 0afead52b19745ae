// The hex-digit library, librfdll.so, bound at the first call.
#pragma once

#include <cstdint>

namespace keycard::rfdll {

// Writes two hex digits per byte of the first `count` bytes of `source` into `text`.
// Returns kMissingDriver when the library or the operation is missing.
std::int32_t hextostr(const unsigned char* source, char* text, std::int32_t count);
// Whether hextostr can be called (binds the library on the first call).
bool available();

}  // namespace keycard::rfdll
