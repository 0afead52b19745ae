#include "reader/msrd_mif.h"

#include "reader/LazyLibrary.h"

namespace keycard::msrd_mif {
namespace {

reader::LazyLibrary& library() {
  static reader::LazyLibrary instance("libMSRD_MIF.so");
  return instance;
}

using PortCell = std::int32_t KEYCARD_CALL(std::int32_t*);
using HandleOnly = std::int32_t KEYCARD_CALL(std::int32_t);
using HandleValue = std::int32_t KEYCARD_CALL(std::int32_t, std::int32_t);
using HandleCell = std::int32_t KEYCARD_CALL(std::int32_t, std::intptr_t*);

}  // namespace

std::int32_t auto_open(std::int32_t* portIndex) {
  static auto* const bound = reader::resolveAs<PortCell>(library(), "auto_open");
  return reader::callBound(bound, portIndex);
}

std::int32_t closecomm(std::int32_t handle) {
  static auto* const bound = reader::resolveAs<HandleOnly>(library(), "closecomm");
  return reader::callBound(bound, handle);
}

std::int32_t dv_beep(std::int32_t handle, std::int32_t value) {
  static auto* const bound = reader::resolveAs<HandleValue>(library(), "dv_beep");
  return reader::callBound(bound, handle, value);
}

std::int32_t wrkey_mif1(std::int32_t handle, std::intptr_t* bufferCell) {
  static auto* const bound = reader::resolveAs<HandleCell>(library(), "wrkey_mif1");
  return reader::callBound(bound, handle, bufferCell);
}

std::int32_t rdkey_mif1(std::int32_t handle, std::intptr_t* bufferCell) {
  static auto* const bound = reader::resolveAs<HandleCell>(library(), "rdkey_mif1");
  return reader::callBound(bound, handle, bufferCell);
}

}  // namespace keycard::msrd_mif
