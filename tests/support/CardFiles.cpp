#include <sstream>
#include <stdexcept>
#include <vector>

#include "emulator/ExitCodes.h"
#include "emulator/card/CardCommands.h"
#include "tests/support/EmulatorProcess.h"

namespace keycard::testing {

namespace {

// What `keycard-emulator card ARGS` prints, without the final newline.
std::string runCard(std::vector<std::string> args) {
  std::ostringstream out;
  std::ostringstream err;
  if (emulator::runCardCommand(args, out, err) != emulator::kExitOk) {
    const std::string reason = err.str();  // its first line; the usage text follows
    throw std::runtime_error(reason.substr(0, reason.find('\n')));
  }
  std::string printed = out.str();
  if (!printed.empty()) printed.pop_back();
  return printed;
}

}  // namespace

void newCard(const std::string& type, const std::filesystem::path& file,
             std::optional<std::string> recordHex48, std::optional<std::string> keyAHex12) {
  std::vector<std::string> args{"new", "--type", type, file.string()};
  if (recordHex48) args.insert(args.end(), {"--record", *recordHex48});
  if (keyAHex12) args.insert(args.end(), {"--key-a", *keyAHex12});
  runCard(std::move(args));
}

std::string cardRecord(const std::filesystem::path& file) {
  return runCard({"record", file.string()});
}

std::string cardBlock(const std::filesystem::path& file, int n) {
  return runCard({"block", file.string(), std::to_string(n)});
}

}  // namespace keycard::testing
