// The emulator's command line: what it takes, and a refusal that names the option and the value.
#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "emulator/Options.h"

namespace keycard::emulator {
namespace {

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

TEST(ServeOptions, TakesWhatIsWholeAndRefusesTheRestByName) {
  struct Row {
    const char* args;
    const char* portDirVariable;  // nullptr: unset
    const char* outcome;          // the port folder taken, or a piece of the refusal
  };
  const Row rows[] = {
      {"--kind proximity --card c --port COM255", "/p", "/p"},
      {"--port-dir /mine --kind mifare --port COM3 --card c", "/p", "/mine"},
      {"--kind pn532 --card c --port COM4 --fault tear", "/p", "/p"},
      {"--kind pn532 --card c --port COM4 --fault oversize", "/p", "not a PN532 board"},
      {"--kind proximity --card c --port COM256", "/p",
       "--port is a name from COM1 to COM255, not 'COM256'"},
      {"--kind proximity --card c --port COM1 --fault late --fault-from 0", "/p", "not '0'"},
      {"--kind proximity --card c --port COM1 --fault-from 3", "/p", "it needs --fault"},
      {"--kind contact --card c --port COM1", "/p",
       "--kind is proximity, mifare or pn532, not 'contact'"},
      {"--kind proximity --card c --port COM1", nullptr, "give --port-dir or set"},
      // The card on the virtual PC/SC reader: a Mifare card, and only the faults a card can make.
      {"--kind mifare --vpcd 1 --card c --fault tear --fault-from 5 --log l", nullptr, ""},
      {"--kind mifare --vpcd 65535 --card c --fault swap", nullptr, ""},
      {"--kind mifare --vpcd 0 --card c", "/p", "--vpcd is a TCP port from 1 to 65535, not '0'"},
      {"--kind mifare --vpcd 40000 --card c --port COM1", "/p", "are for the serial reader"},
      {"--kind mifare --vpcd 40000 --card c --fault silent", "/p",
       "the faults are tear, swap and late"},
      {"--kind mifare --vpcd 1 --reader omnikey --card c", nullptr, ""},
      {"--kind mifare --port COM1 --reader acs --card c", "/p", "it goes with --vpcd"},
      {"--kind mifare --card c", "/p", "--port is missing"},  // no --vpcd: the serial reader
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args);
    const std::vector<std::string> args = words(row.args);
    std::string outcome;
    try {
      const ServeOptions options = parseServeOptions(args, row.portDirVariable);
      outcome = options.portDir.string();
      EXPECT_EQ(options.vpcdPort != 0, std::string(row.args).find("--vpcd") != std::string::npos);
    } catch (const UsageError& refused) {
      outcome = refused.what();
    }
    EXPECT_NE(outcome.find(row.outcome), std::string::npos) << outcome;
    if (*row.outcome == '\0') {
      EXPECT_EQ(outcome, "");
    }
  }
}

}  // namespace
}  // namespace keycard::emulator
