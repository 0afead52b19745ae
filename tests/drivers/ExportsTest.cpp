// Each library exports exactly its C operations and nothing of its insides, the error codes they
// return keep their numbers, and no C++ exception leaves an entry point.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <new>
#include <set>
#include <stdexcept>
#include <string>

#include "drivers/DriverApi.h"

namespace keycard::drivers::testing {
namespace {

std::set<std::string> exportedSymbols(const std::string& library) {
  const std::string command = "nm -D --defined-only --just-symbols " + library + " 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::set<std::string> names;
  char line[512];
  while (pipe && std::fgets(line, sizeof line, pipe.get()) != nullptr) {
    names.emplace(line, std::string(line).find_last_not_of('\n') + 1);
  }
  return names;
}

TEST(Exports, AreExactlyTheOperations) {
  EXPECT_EQ(exportedSymbols(MF_API_PATH),
            (std::set<std::string>{"MF_InitComm", "MF_ExitComm", "ML_GetDevice_Ver", "ML_ControlRF",
                                   "ML_ControlBeep", "T5557_ReadCard", "T5557_WriteCard",
                                   "EM4150_WriteBlock", "EM4150_ReadBlock"}));
  EXPECT_EQ(
      exportedSymbols(MSRD_MIF_PATH),
      (std::set<std::string>{"auto_open", "closecomm", "dv_beep", "wrkey_mif1", "rdkey_mif1"}));
  EXPECT_EQ(exportedSymbols(RFDLL_PATH), std::set<std::string>{"hextostr"});
}

// Callers act on the numbers, as the README's table gives them: none may change.
static_assert(KEYCARD_ERR_ARGUMENT == -1 && KEYCARD_ERR_NOT_OPEN == -2 && KEYCARD_ERR_PORT == -3 &&
              KEYCARD_ERR_TIMEOUT == -4 && KEYCARD_ERR_FRAME == -5 && KEYCARD_ERR_NO_CARD == -6 &&
              KEYCARD_ERR_CARD_KIND == -7 && KEYCARD_ERR_AUTH == -8 && KEYCARD_ERR_VERIFY == -9 &&
              KEYCARD_ERR_READER == -10 && KEYCARD_ERR_NO_MEMORY == -11 &&
              KEYCARD_ERR_MISSING_DRIVER == -20);

TEST(Exports, NoExceptionLeavesAnEntryPointAndOutOfMemoryIsToldApart) {
  EXPECT_EQ(noThrow([] { return std::int32_t{3}; }), 3);
  EXPECT_EQ(noThrow([]() -> std::int32_t { throw std::bad_alloc(); }), KEYCARD_ERR_NO_MEMORY);
  EXPECT_EQ(noThrow([]() -> std::int32_t { throw std::runtime_error("inside"); }),
            KEYCARD_ERR_READER);
}

}  // namespace
}  // namespace keycard::drivers::testing
