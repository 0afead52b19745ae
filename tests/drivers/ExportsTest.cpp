// Each library exports exactly its C operations and nothing of its insides, and the error codes
// they return keep their numbers.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "link/Errors.h"

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
TEST(Exports, ErrorCodesKeepTheirNumbers) {
  using namespace keycard::link;
  EXPECT_EQ(
      (std::vector<int>{kErrArgument, kErrNotOpen, kErrPort, kErrTimeout, kErrFrame, kErrNoCard,
                        kErrCardKind, kErrAuth, kErrVerify, kErrReader, kErrNoMemory}),
      (std::vector<int>{-1, -2, -3, -4, -5, -6, -7, -8, -9, -10, -11}));
}

}  // namespace
}  // namespace keycard::drivers::testing
