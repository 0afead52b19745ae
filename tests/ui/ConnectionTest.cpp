// The reader connection against recording stand-ins of the drivers: the exact calls, in order,
// with their arguments, and what the window and the reader values show afterwards.
#include <deque>
#include <map>
#include <sstream>
#include <string_view>

#include "tests/ui/WindowTestSupport.h"
#include "tests/ui/standins/Recorder.h"

namespace keycard::testing {
namespace {

struct ConnectionCase {
  const char* name;
  // "T5557" and "MF1" pick the kind, "COMn" the port; "open", "beep", "exit" click the button;
  // "close" closes the window by its close box.
  const char* steps;
  std::map<std::string, std::deque<std::int32_t>> results;
  std::int32_t commHandle, devHandle;
  const char* status;  // "" when the status line keeps what it held before
  bool cardButtonsEnabled;
  const char* calls;  // joined by "; "
  friend void PrintTo(const ConnectionCase& c, std::ostream* out) { *out << c.name; }
};

// clang-format off
const ConnectionCase kCases[] = {
    {"MifareOpen", "MF1 COM1 open T5557 beep", {{"auto_open", {5}}}, 5, 5, "", true,
     "closecomm(0); auto_open(0); dv_beep(5, 2); ML_ControlBeep(0, 1)"},
    {"SecondMifareOpen", "MF1 COM3 open open", {{"auto_open", {5, 7}}}, 7, 7, "", true,
     "closecomm(0); auto_open(2); dv_beep(5, 2); closecomm(5); auto_open(2); dv_beep(7, 2)"},
    {"FailedMifareOpenAfterASuccess", "MF1 open open", {{"auto_open", {5, -1}}}, -1, -1, "", true,
     "closecomm(0); auto_open(0); dv_beep(5, 2); closecomm(5); auto_open(0)"},
    {"ProximityPortRefused", "open", {{"MF_InitComm", {-1}}}, 0, 0, "Open CommPort Error", false,
     "MF_InitComm(COM1, 9600); MF_ExitComm()"},
    {"ProximityRfFailsQuietly", "open", {{"ML_ControlRF", {-4}}}, 0, 0, "", false,
     "MF_InitComm(COM1, 9600); ML_GetDevice_Ver(0, \"\"); ML_ControlRF(0, 1)"},
    {"ProximityAfterMifare", "MF1 open T5557 open", {{"auto_open", {5}}}, 5, 0, "Open CommPort OK",
     true, "closecomm(0); auto_open(0); dv_beep(5, 2); MF_InitComm(COM1, 9600); "
     "ML_GetDevice_Ver(5, \"\"); ML_ControlRF(5, 1); ML_ControlBeep(5, 2)"},
    {"MifareBeepAfterProximityOpen", "open MF1 beep close", {}, 0, 0, "Open CommPort OK", true,
     "MF_InitComm(COM1, 9600); ML_GetDevice_Ver(0, \"\"); ML_ControlRF(0, 1); "
     "ML_ControlBeep(0, 2); dv_beep(0, 1); closecomm(0)"},
    {"ExitWithoutOpen", "exit", {}, 0, 0, "", false, "MF_ExitComm()"},
};
// clang-format on

class ReaderConnection : public WindowTest, public ::testing::WithParamInterface<ConnectionCase> {
 protected:
  void run(const std::string& step) {
    if (step.starts_with("COM")) return selectPort(std::stoi(step.substr(3)) - 1);
    if (step == "T5557" || step == "MF1") return selectKind(step == "MF1" ? 1 : 0);
    if (step == "close") return (void)window->close();
    click(step == "open" ? "butOpen" : step == "beep" ? "butBeep" : "butExit");
  }
};

TEST_P(ReaderConnection, CallsTheDriversInOrderAndShowsTheOutcome) {
  const ConnectionCase& c = GetParam();
  standin::recorder() = {};
  window->show();
  control<QLabel>("lstSta")->setText(QStringLiteral("earlier"));
  standin::recorder().results = c.results;

  std::istringstream steps(c.steps);
  for (std::string step; steps >> step;) run(step);

  std::string calls;
  for (const std::string& call : standin::recorder().calls) {
    calls += (calls.empty() ? "" : "; ") + call;
  }
  EXPECT_EQ(calls, c.calls);
  EXPECT_EQ(std::pair(CardData::CommHandle, CardData::DevHandle),
            std::pair(c.commHandle, c.devHandle));
  EXPECT_EQ(text("lstSta"), QString::fromLatin1(*c.status != '\0' ? c.status : "earlier"));
  for (const char* button : {"butWr", "butRd", "butBeep"}) {
    EXPECT_EQ(control(button)->isEnabled(), c.cardButtonsEnabled) << button;
  }
  const std::string_view all(c.steps);
  EXPECT_EQ(window->isVisible(), !all.ends_with("exit") && !all.ends_with("close"));
}

INSTANTIATE_TEST_SUITE_P(Cases, ReaderConnection, ::testing::ValuesIn(kCases),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace keycard::testing
