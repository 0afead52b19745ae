// Window tests against the real driver libraries and a reader emulator on a pseudo-terminal,
// reached as "COM1" through $KEYCARD_PORT_DIR.
#pragma once

#include <filesystem>
#include <string>

#include "emulator/card/Card.h"
#include "tests/support/EmulatorProcess.h"
#include "tests/support/WorkedRecord.h"
#include "tests/ui/WindowTestSupport.h"

namespace keycard::testing {

// Type 7, hotel 12AB9F, area 3, floor 12, room 201, serial 4, flag 1, 25-01-31 08:30 to
// 25-02-01 11:00, daily 06:00 to 22:15, 2 further floors.
inline constexpr char kPreparedRecord[] = "0712AB9F030CC90401250131083025020111000600221502";
inline const QStringList kPreparedShown = {
    "7",     "12AB9F", "3", "12", "201", "4", "25-01-31 08:30", "25-02-01 11:00",
    "06:00", "22:15",  "2"};
// What the window's start texts write, as a card file shows it.
inline const std::string kStartTextsRecord = emulator::toHex(kWorkedRecord);

class EmulatedReaderTest : public WindowTest {
 protected:
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
  ScopedPortDir portDir{dir.path()};
};

}  // namespace keycard::testing
