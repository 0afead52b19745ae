#include "reader/rfdll.h"

#include "drivers/rfdll/rfdll.h"
#include "reader/LazyLibrary.h"

namespace keycard::rfdll {
namespace {

reader::LazyLibrary& library() {
  static reader::LazyLibrary instance("librfdll.so");
  return instance;
}

decltype(::hextostr)* bound() {
  static auto* const operation = reader::resolveAs<decltype(::hextostr)>(library(), "hextostr");
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
