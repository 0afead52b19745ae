// The emulator's command line: what it takes, and a refusal that names the option and the value.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emulator/Options.h"

namespace keycard::emulator {
namespace {

TEST(ServeOptions, RefusesBadValuesByName) {
  const struct {
    std::vector<std::string> extra;  // after --kind proximity --card c
    const char* portDir;             // $KEYCARD_PORT_DIR, nullptr: unset
    const char* refusal;             // "" when accepted
  } rows[] = {
      {{"--port", "COM255"}, "/p", ""},
      {{"--port", "COM11", "--fault", "late", "--fault-from", "7"}, "/p", ""},
      {{"--port", "COM256"}, "/p", "--port is a name from COM1 to COM255, not 'COM256'"},
      {{"--port", "COM1", "--fault", "late", "--fault-from", "0"}, "/p", "not '0'"},
      {{"--port", "COM1"}, "", "give --port-dir or set"},
      {{"--port", "COM1"}, nullptr, "give --port-dir or set"},
      {{"--port", "COM1", "--port-dir", "/q"}, nullptr, ""},
  };
  for (const auto& row : rows) {
    std::vector<std::string> args = {"--kind", "proximity", "--card", "c"};
    args.insert(args.end(), row.extra.begin(), row.extra.end());
    std::string refusal;
    try {
      parseServeOptions(args, row.portDir);
    } catch (const UsageError& error) {
      refusal = error.what();
    }
    SCOPED_TRACE(row.extra[1]);
    if (*row.refusal == '\0') {
      EXPECT_EQ(refusal, "");
    } else {
      EXPECT_NE(refusal.find(row.refusal), std::string::npos) << refusal;
    }
  }
}

TEST(ServeOptions, AGivenPortFolderWinsOverTheEnvironment) {
  const std::vector<std::string> args = {"--kind", "mifare", "--port", "COM3", "--card", "c"};
  EXPECT_EQ(parseServeOptions(args, "/ports").portDir, "/ports");
  const std::vector<std::string> given = {"--port-dir", "/mine", "--kind", "mifare",
                                          "--port",     "COM3",  "--card", "c"};
  EXPECT_EQ(parseServeOptions(given, "/ports").portDir, "/mine");
}

}  // namespace
}  // namespace keycard::emulator
