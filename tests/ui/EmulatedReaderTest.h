// Window tests against the real driver libraries and a reader emulator on a pseudo-terminal,
// reached as "COM1" through $KEYCARD_PORT_DIR.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "EmulatorProcess.h"
#include "WindowTestSupport.h"

namespace keycard::testing {

class EmulatedReaderTest : public WindowTest {
 protected:
  // `kind` is "proximity" or "mifare"; `fault` one of the emulator's faults, or empty.
  std::unique_ptr<EmulatorProcess> startReader(const std::string& kind,
                                               const std::filesystem::path& card,
                                               const std::string& fault = {}) const {
    EmulatorOptions options;
    options.kind = kind;
    options.card = card;
    options.portDir = dir.path();
    options.fault = fault;
    return std::make_unique<EmulatorProcess>(options);
  }

  // Opens COM1 as the given card kind (0 proximity, 1 Mifare).
  void openReader(int kind) const {
    selectKind(kind);
    click("butOpen");
    ASSERT_TRUE(control("butWr")->isEnabled()) << "no open: " << text("lstSta").toStdString();
    // Only the proximity open reports on the status line.
    if (kind == 0) {
      EXPECT_EQ(text("lstSta"), QStringLiteral("Open CommPort OK"));
    }
  }

  TempDir dir;
  ScopedEnv portDir{"KEYCARD_PORT_DIR", dir.path().string()};
};

}  // namespace keycard::testing
