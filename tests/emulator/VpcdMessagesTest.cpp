#include <gtest/gtest.h>

#include "emulator/card/Card.h"
#include "emulator/pcsc/VpcdMessages.h"

namespace keycard::emulator {
namespace {

TEST(VpcdMessages, TakesWholeMessagesOffTheFrontAndPutsThemBackTheSame) {
  struct Row {
    const char* name;
    std::string input;
    std::vector<std::string> messages;
    std::string left;
  };
  const std::string long_(512, 'E');
  const Row rows[] = {
      {"nothing yet", "", {}, ""},
      {"half a length", "00", {}, "00"},
      {"a length without its payload", "0001", {}, "0001"},
      {"a control", "000104", {"04"}, ""},
      {"an empty payload", "0000", {""}, ""},
      {"two at once and the start of a third", "0002AABB00010100", {"AABB", "01"}, "00"},
      {"a length above 255", "0100" + long_ + "01", {long_}, "01"},
  };
  for (const auto& [name, input, messages, left] : rows) {
    SCOPED_TRACE(name);
    std::vector<std::uint8_t> buffer = *fromHex(input);
    std::vector<std::string> taken;
    while (auto message = takeVpcdMessage(buffer)) taken.push_back(toHex(*message));
    EXPECT_EQ(taken, messages);
    EXPECT_EQ(toHex(buffer), left);
    std::string sent;  // what was taken, put back into messages
    for (const std::string& message : taken) sent += toHex(vpcdMessage(*fromHex(message)));
    EXPECT_EQ(sent + left, input);
  }
}

}  // namespace
}  // namespace keycard::emulator
