// The emulator's command line: what it takes, and a refusal that names the option and the value.
#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
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

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

TEST(ServeOptions, TheVirtualReaderTakesAMifareCardAndTheFaultsACardCanMake) {
  struct Row {
    std::string args;
    std::string error;  // empty: accepted
  };
  const Row rows[] = {
      {"--kind mifare --vpcd 35963 --card c", ""},
      {"--kind mifare --vpcd 1 --card c --fault tear --fault-from 5 --log l", ""},
      {"--kind mifare --vpcd 40000 --card c --fault late", ""},
      {"--kind mifare --vpcd 0 --card c", "--vpcd is a TCP port from 1 to 65535, not '0'"},
      {"--kind mifare --vpcd 65536 --card c", "not '65536'"},
      {"--kind mifare --vpcd 4O000 --card c", "not '4O000'"},
      {"--kind proximity --vpcd 40000 --card c", "give --kind mifare"},
      {"--kind mifare --vpcd 40000 --card c --port COM1", "are for the serial reader"},
      {"--kind mifare --vpcd 40000 --card c --wire-delay", "are for the serial reader"},
      {"--kind mifare --vpcd 65535 --card c --fault silent", "the faults are tear and late"},
      {"--kind mifare --vpcd 40000 --card c --fault corrupt", "the faults are tear and late"},
      {"--kind mifare --vpcd 40000", "--card is missing"},
      {"--kind mifare --card c", "--port is missing"},  // the serial reader still needs its port
  };
  for (const auto& [args, error] : rows) {
    SCOPED_TRACE(args);
    const std::vector<std::string> argv = words(args);
    try {
      const ServeOptions options = parseServeOptions(argv, "/tmp");
      EXPECT_EQ(error, "") << "accepted";
      EXPECT_NE(options.vpcdPort, 0);
    } catch (const UsageError& refused) {
      EXPECT_NE(error, "") << refused.what();
      EXPECT_NE(std::string(refused.what()).find(error), std::string::npos) << refused.what();
    }
  }
}

}  // namespace
}  // namespace keycard::emulator
