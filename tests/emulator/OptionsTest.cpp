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
      {{"--port", "COM07"}, "/p", "not 'COM07'"},
      {{"--port", "COM1", "--fault", "late", "--fault-from", "0"}, "/p", "not '0'"},
      {{"--port", "COM1", "--fault", "late", "--fault-from", "+3"}, "/p", "not '+3'"},
      {{"--port", "COM1", "--fault-from", "3"}, "/p", "it needs --fault"},
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

TEST(ServeOptions, TakesThePortFolderFromTheEnvironmentUnlessGiven) {
  const std::vector<std::string> args = {"--kind", "mifare", "--port", "COM3", "--card", "c"};
  const ServeOptions fromEnvironment = parseServeOptions(args, "/ports");
  EXPECT_EQ(fromEnvironment.portDir, "/ports");
  EXPECT_EQ(fromEnvironment.kind, ReaderKind::Mifare);
  std::vector<std::string> given = args;
  given.insert(given.end(), {"--port-dir", "/mine"});
  EXPECT_EQ(parseServeOptions(given, "/ports").portDir, "/mine");
}

}  // namespace
}  // namespace keycard::emulator
