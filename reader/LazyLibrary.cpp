#include "reader/LazyLibrary.h"

#include <dlfcn.h>

#include <cstdio>

namespace keycard::reader {

void* LazyLibrary::handle() {
  std::call_once(opened_, [this] {
    // By bare name: the executable's RUNPATH decides which build of the driver is found.
    handle_ = dlopen(fileName_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
      std::fprintf(stderr, "keycard: driver library %s is missing: %s\n", fileName_.c_str(),
                   dlerror());
    }
  });
  return handle_;
}

bool LazyLibrary::loads() {
  return handle() != nullptr;
}

void* LazyLibrary::resolve(const char* symbol) {
  void* library = handle();
  if (library == nullptr) return nullptr;
  void* address = dlsym(library, symbol);
  if (address == nullptr) {
    std::fprintf(stderr, "keycard: driver library %s has no operation %s\n", fileName_.c_str(),
                 symbol);
  }
  return address;
}

}  // namespace keycard::reader
