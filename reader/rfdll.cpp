#include "reader/rfdll.h"

#include "reader/LazyLibrary.h"

namespace keycard::rfdll {
namespace {

reader::LazyLibrary& library() {
  static reader::LazyLibrary instance("librfdll.so");
  return instance;
}

using HexToStr = std::int32_t KEYCARD_CALL(const unsigned char*, char*, std::int32_t);

HexToStr* bound() {
  static auto* const operation = reader::resolveAs<HexToStr>(library(), "hextostr");
  return operation;
}

}  // namespace

std::int32_t hextostr(const unsigned char* source, char* text, std::int32_t count) {
  return reader::callBound(bound(), source, text, count);
}

bool available() {
  return bound() != nullptr;
}

}  // namespace keycard::rfdll
