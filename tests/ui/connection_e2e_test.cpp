// The window opening the real proximity driver against the reader emulator.
#include "EmulatedReaderTest.h"

namespace keycard::testing {
namespace {

using RealProximityReader = EmulatedReaderTest;

TEST_F(RealProximityReader, OpensOnTheEmulatedPortAndEnablesTheCardButtons) {
  newCard("em4469", dir / "card");
  const auto reader = startReader("proximity", dir / "card");

  click("butOpen");

  EXPECT_EQ(text("lstSta"), QStringLiteral("Open CommPort OK"));
  for (const char* button : {"butWr", "butRd", "butBeep"})
    EXPECT_TRUE(control(button)->isEnabled());
  click("butBeep");
  window->close();  // MF_ExitComm: the emulator keeps serving a later open
  EXPECT_FALSE(reader->waitForExit(std::chrono::milliseconds(0)).has_value());
}

TEST_F(RealProximityReader, PortWithoutAReaderIsAnError) {
  selectPort(1);  // nothing serves COM2

  click("butOpen");

  EXPECT_EQ(text("lstSta"), QStringLiteral("Open CommPort Error"));
  EXPECT_FALSE(control("butWr")->isEnabled());
}

}  // namespace
}  // namespace keycard::testing
