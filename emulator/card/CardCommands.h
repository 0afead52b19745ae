// `keycard-emulator card ...`: make a card file and look into one.
#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

namespace keycard::emulator {

// Their usage lines, the first without its indentation.
std::string_view cardCommandsUsage();

// `args` after the word "card". Returns the exit code: 0, 1 for a failure, 2 for bad usage.
int runCardCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace keycard::emulator
