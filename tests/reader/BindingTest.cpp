// The bindings find their library by name at the first call and turn a missing library or
// operation into kMissingDriver with one line on stderr. This executable's RUNPATH holds only a
// partial proximity driver, and no Mifare library at all. (The window's tests run without the
// hex-digit library.)
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "reader/LazyLibrary.h"
#include "reader/MF_API.h"
#include "reader/msrd_mif.h"

namespace keycard::reader {
namespace {

std::string stderrOf(void (*action)()) {
  testing::internal::CaptureStderr();
  action();
  return testing::internal::GetCapturedStderr();
}

TEST(DriverBinding, FindsTheLibraryByNameThroughTheExecutablesRunpath) {
  EXPECT_EQ(MF_API::MF_InitComm("COM1", 9600), 42);
}

TEST(DriverBinding, MissingOperationFailsWithOneLineNamingIt) {
  const std::string said = stderrOf([] { EXPECT_EQ(MF_API::MF_ExitComm(), kMissingDriver); });
  EXPECT_NE(said.find("MF_ExitComm"), std::string::npos) << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  // Bound once: a second call neither retries nor repeats the message.
  const std::string again = stderrOf([] { MF_API::MF_ExitComm(); });
  EXPECT_EQ(again, "");
  unsigned char buffer[24] = {};
  EXPECT_EQ(MF_API::T5557_WriteCard(0, buffer), kMissingDriver);
}

TEST(DriverBinding, MissingLibraryFailsEveryOperationAndSaysSoOnce) {
  const std::string said = stderrOf([] {
    std::int32_t port = 0;
    EXPECT_EQ(msrd_mif::auto_open(&port), kMissingDriver);
    EXPECT_EQ(msrd_mif::closecomm(0), kMissingDriver);
    EXPECT_EQ(msrd_mif::dv_beep(0, 1), kMissingDriver);
  });
  EXPECT_NE(said.find("libMSRD_MIF.so"), std::string::npos) << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

}  // namespace
}  // namespace keycard::reader
