#include "reader/msrd_mif.h"

#include "drivers/MSRD_MIF/MSRD_MIF.h"
#include "reader/LazyLibrary.h"

namespace keycard::msrd_mif {
namespace {

reader::LazyLibrary& library() {
  static reader::LazyLibrary instance("libMSRD_MIF.so");
  return instance;
}

}  // namespace

// Each operation binds the symbol of its own name (__func__) once, at its first call, as the
// type the driver's header declares.

std::int32_t auto_open(std::int32_t* portIndex) {
  static auto* const bound = reader::resolveAs<decltype(::auto_open)>(library(), __func__);
  return reader::callBound(bound, portIndex);
}

std::int32_t closecomm(std::int32_t handle) {
  static auto* const bound = reader::resolveAs<decltype(::closecomm)>(library(), __func__);
  return reader::callBound(bound, handle);
}

std::int32_t dv_beep(std::int32_t handle, std::int32_t value) {
  static auto* const bound = reader::resolveAs<decltype(::dv_beep)>(library(), __func__);
  return reader::callBound(bound, handle, value);
}

std::int32_t wrkey_mif1(std::int32_t handle, std::intptr_t* bufferCell) {
  static auto* const bound = reader::resolveAs<decltype(::wrkey_mif1)>(library(), __func__);
  return reader::callBound(bound, handle, bufferCell);
}

std::int32_t rdkey_mif1(std::int32_t handle, std::intptr_t* bufferCell) {
  static auto* const bound = reader::resolveAs<decltype(::rdkey_mif1)>(library(), __func__);
  return reader::callBound(bound, handle, bufferCell);
}

}  // namespace keycard::msrd_mif
