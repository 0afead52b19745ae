// The window opening the real proximity driver against the reader emulator on a
// pseudo-terminal, found as "COMn" in $KEYCARD_PORT_DIR.
#include <QPushButton>

#include "EmulatorProcess.h"
#include "WindowTestSupport.h"

namespace keycard::testing {
namespace {

class RealProximityReader : public WindowTest {
 protected:
  TempDir dir;
  ScopedEnv portDir{"KEYCARD_PORT_DIR", dir.path().string()};

  std::unique_ptr<EmulatorProcess> startReader(const std::filesystem::path& card) const {
    EmulatorOptions options;
    options.card = card;
    return std::make_unique<EmulatorProcess>(options);
  }
};

TEST_F(RealProximityReader, OpensOnTheEmulatedPortAndEnablesTheCardButtons) {
  newCard("em4469", dir / "card");
  const auto reader = startReader(dir / "card");

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
