// Without librfdll.so the hotel code of a card that is read is still shown, by the window's own
// hex routine. This executable finds the stand-in reader drivers but no hex library.
#include "Recorder.h"
#include "WindowTestSupport.h"

namespace keycard::testing {
namespace {

using HotelCodeWithoutHexLibrary = WindowTest;

TEST_F(HotelCodeWithoutHexLibrary, ReadShowsTheCodeInCapitalHexDigits) {
  standin::reset();
  standin::Image card{};
  card[1] = 0xAB;
  card[2] = 0x0C;
  card[3] = 0x7F;
  standin::setCard(card);
  control("butRd")->setEnabled(true);

  click("butRd");

  EXPECT_EQ(text("txtHotel"), QStringLiteral("AB0C7F"));
  EXPECT_EQ(text("lstSta"), QStringLiteral("RD 4469 OK"));
  EXPECT_EQ(standin::calls(),
            (std::vector<std::string>{"T5557_ReadCard(0)", "ML_ControlBeep(0, 1)"}));
}

}  // namespace
}  // namespace keycard::testing
