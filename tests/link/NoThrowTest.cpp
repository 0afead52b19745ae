// A driver's C entry point turns whatever escapes it into an error code a C caller can read.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "link/Errors.h"
#include "link/NoThrow.h"

namespace keycard::link {
namespace {

TEST(NoThrow, PassesResultsOnAndTellsOutOfMemoryApart) {
  EXPECT_EQ(noThrow([] { return std::int32_t{3}; }), 3);
  EXPECT_EQ(noThrow([]() -> std::int32_t { throw std::bad_alloc(); }), kErrNoMemory);
  EXPECT_EQ(noThrow([]() -> std::int32_t { throw std::runtime_error("inside"); }), kErrReader);
}

}  // namespace
}  // namespace keycard::link
