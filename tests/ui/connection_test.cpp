// The reader connection against recording stand-ins of the drivers: the exact calls, in order,
// with their arguments, and what the window and the reader values show afterwards.
#include <deque>
#include <map>
#include <vector>

#include "Recorder.h"
#include "WindowTestSupport.h"

namespace keycard::testing {
namespace {

struct ConnectionCase {
  const char* name;
  // Operator steps: "T5557", "MF1", "no kind" pick Combo1's entry; "COMn" picks the port;
  // "open", "beep", "exit" click the button; "close" closes the window by its close box.
  std::vector<std::string> steps;
  std::map<std::string, std::deque<std::int32_t>> results;
  std::vector<std::string> calls;
  std::int32_t commHandle;
  std::int32_t devHandle;
  const char* status;  // "earlier" is what the status line held before the steps
  bool cardButtonsEnabled;
  friend void PrintTo(const ConnectionCase& c, std::ostream* out) { *out << c.name; }
};

// clang-format off
const ConnectionCase kCases[] = {
    {"MifareOpenKeepsItsHandleAndAProximityBeepStillPassesZero",
     {"MF1", "COM1", "open", "T5557", "beep"}, {{"auto_open", {5}}},
     {"closecomm(0)", "auto_open(0)", "dv_beep(5, 2)", "ML_ControlBeep(0, 1)"},
     5, 5, "earlier", true},
    {"SecondMifareOpenClosesTheFirstHandle", {"MF1", "COM3", "open", "open"},
     {{"auto_open", {5, 7}}},
     {"closecomm(0)", "auto_open(2)", "dv_beep(5, 2)", "closecomm(5)", "auto_open(2)",
      "dv_beep(7, 2)"},
     7, 7, "earlier", true},
    {"FailedMifareOpenAfterASuccessStoresItsResultAndKeepsButtonsEnabled",
     {"MF1", "open", "open"}, {{"auto_open", {5, -1}}},
     {"closecomm(0)", "auto_open(0)", "dv_beep(5, 2)", "closecomm(5)", "auto_open(0)"},
     -1, -1, "earlier", true},
    {"MifareOpenReturningZeroFails", {"MF1", "COM10", "open"}, {{"auto_open", {0}}},
     {"closecomm(0)", "auto_open(9)"}, 0, 0, "earlier", false},
    {"ProximityPortThatCannotBeOpened", {"open"}, {{"MF_InitComm", {-1}}},
     {"MF_InitComm(COM1, 9600)", "MF_ExitComm()"}, 0, 0, "Open CommPort Error", false},
    {"ProximityRfFailureEndsQuietlyWithThePortOpen", {"open"}, {{"ML_ControlRF", {-4}}},
     {"MF_InitComm(COM1, 9600)", "ML_GetDevice_Ver(0, \"\")", "ML_ControlRF(0, 1)"},
     0, 0, "earlier", false},
    {"ProximityOpenAfterMifareOpenPassesTheMifareHandle", {"MF1", "open", "T5557", "open"},
     {{"auto_open", {5}}},
     {"closecomm(0)", "auto_open(0)", "dv_beep(5, 2)", "MF_InitComm(COM1, 9600)",
      "ML_GetDevice_Ver(5, \"\")", "ML_ControlRF(5, 1)", "ML_ControlBeep(5, 2)"},
     5, 0, "Open CommPort OK", true},
    {"MifareBeepAfterProximityOpenThenCloseClosesMifare", {"open", "MF1", "beep", "close"}, {},
     {"MF_InitComm(COM1, 9600)", "ML_GetDevice_Ver(0, \"\")", "ML_ControlRF(0, 1)",
      "ML_ControlBeep(0, 2)", "dv_beep(0, 1)", "closecomm(0)"},
     0, 0, "Open CommPort OK", true},
    {"ExitWithoutOpenClosesTheProximityPort", {"exit"}, {}, {"MF_ExitComm()"},
     0, 0, "earlier", false},
    {"CloseBoxWithoutOpenClosesMifareWithZero", {"MF1", "close"}, {}, {"closecomm(0)"},
     0, 0, "earlier", false},
    {"NoKindSelectedCallsNothing", {"no kind", "open", "close"}, {}, {}, 0, 0, "earlier", false},
};
// clang-format on

class ReaderConnection : public WindowTest, public ::testing::WithParamInterface<ConnectionCase> {
 protected:
  void run(const std::string& step) {
    if (step == "T5557") return selectKind(0);
    if (step == "MF1") return selectKind(1);
    if (step == "no kind") return selectKind(-1);
    if (step.starts_with("COM")) return selectPort(std::stoi(step.substr(3)) - 1);
    if (step == "open") return click("butOpen");
    if (step == "beep") return click("butBeep");
    if (step == "exit") return click("butExit");
    ASSERT_EQ(step, "close");
    window->close();
  }
};

TEST_P(ReaderConnection, CallsTheDriversInOrderAndShowsTheOutcome) {
  const ConnectionCase& c = GetParam();
  standin::recorder() = {};
  window->show();
  control<QLabel>("lstSta")->setText(QStringLiteral("earlier"));
  standin::recorder().results = c.results;

  for (const std::string& step : c.steps) run(step);

  EXPECT_EQ(standin::recorder().calls, c.calls);
  EXPECT_EQ(CardData::CommHandle, c.commHandle);
  EXPECT_EQ(CardData::DevHandle, c.devHandle);
  EXPECT_EQ(text("lstSta"), QString::fromLatin1(c.status));
  for (const char* button : {"butWr", "butRd", "butBeep"}) {
    EXPECT_EQ(control(button)->isEnabled(), c.cardButtonsEnabled) << button;
  }
  EXPECT_EQ(window->isVisible(), c.steps.back() != "exit" && c.steps.back() != "close");
}

INSTANTIATE_TEST_SUITE_P(Cases, ReaderConnection, ::testing::ValuesIn(kCases),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace keycard::testing
