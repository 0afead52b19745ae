// What the drivers answer besides key cards: the reader controls, EM4469 data words, handles,
// bad arguments, and the ports they refuse to open.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>

#include "drivers/rfdll/rfdll.h"
#include "link/Errors.h"
#include "tests/drivers/DriverTestSupport.h"

namespace keycard::drivers::testing {
namespace {

using namespace keycard::link;

TEST(ProximityDriver, ControlsDataWordsAndArguments) {
  const Bench bench("proximity", "em4469");
  ASSERT_EQ(MF_InitComm("COM1", 9600), 0);
  ASSERT_EQ(MF_InitComm("COM1", 9600), 0);                    // closes the first one itself
  char text[8] = {'\0', 'g', 'u', 'a', 'r', 'd', '!', '\0'};  // empty, and no room
  EXPECT_EQ(ML_GetDevice_Ver(0, text), 0);
  EXPECT_EQ(std::string(text, sizeof text), std::string("\0guard!\0", 8));
  EXPECT_EQ(ML_ControlRF(0, 1), 0);
  EXPECT_EQ(ML_ControlBeep(0, 2), 0);

  // Word 1 is the chip's UID: writing it is refused (DriverRefusal below) like words past the end.
  std::array<unsigned char, 4> word = {0x0A, 0x00, 0x11, 0x0D}, read = {};
  EXPECT_EQ(EM4150_WriteBlock(0, -1, word.data()), kErrArgument);
  EXPECT_EQ(EM4150_WriteBlock(0, 2, word.data()), 0);
  EXPECT_EQ(EM4150_ReadBlock(0, 2, read.data()), 0);
  EXPECT_EQ(read, word);
  keycard::testing::newCard("t5557", bench.card);
  EXPECT_EQ(EM4150_WriteBlock(0, 2, word.data()), kErrCardKind);

  EXPECT_EQ(MF_ExitComm(), 0);
  EXPECT_EQ(MF_ExitComm(), 0);
  EXPECT_EQ(ML_ControlBeep(0, 1), kErrNotOpen);
}

// Every refusal names the operation and says why, in one line, whether or not a port is open.
TEST(DriverRefusal, NamesTheOperationAndSaysWhyInOneLine) {
  MF_ExitComm();
  unsigned char buffer[24] = {};
  intptr_t cell = reinterpret_cast<intptr_t>(buffer);
  std::int32_t index = 10;
  const std::tuple<const char*, std::function<std::int32_t()>, std::int32_t> rows[] = {
      {"MF_InitComm: the port name is a null pointer", [] { return MF_InitComm(nullptr, 9600); },
       kErrArgument},
      {"MF_InitComm: unknown port \"COM11\"", [] { return MF_InitComm("COM11", 9600); },
       kErrArgument},
      {"T5557_ReadCard: the buffer is a null pointer", [] { return T5557_ReadCard(0, nullptr); },
       kErrArgument},
      {"ML_ControlBeep: beep 256 is not 0 to 255", [] { return ML_ControlBeep(0, 256); },
       kErrArgument},
      {"EM4150_ReadBlock: word 16 does not exist (0 to 15)",
       [&] { return EM4150_ReadBlock(0, 16, buffer); }, kErrArgument},
      {"EM4150_WriteBlock: word 1 cannot be written",
       [&] { return EM4150_WriteBlock(0, 1, buffer); }, kErrArgument},
      {"auto_open: no port index: the cell is null", [] { return auto_open(nullptr); },
       kErrArgument},
      {"auto_open: port index 10 is not one of 0 (COM1) to 9 (COM10)",
       [&] { return auto_open(&index); }, kErrArgument},
      {"wrkey_mif1: no card buffer", [] { return wrkey_mif1(1, nullptr); }, kErrArgument},
      {"dv_beep: beep value 256 is not one of 0 to 255", [] { return dv_beep(1, 256); },
       kErrArgument},
      {"rdkey_mif1: no reader is open under handle 99", [&] { return rdkey_mif1(99, &cell); },
       kErrNotOpen},
  };
  for (const auto& [message, call, expected] : rows) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(call(), expected) << message;
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.rfind(message, 0), 0U) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  }
}

TEST(MifareDriver, HandlesAndArguments) {
  Bench bench("mifare", "mifare1k");
  const std::int32_t first = kMifare.open();
  ASSERT_GT(first, 0);
  EXPECT_EQ(dv_beep(first, 1), 0);
  intptr_t nullCell = 0;
  EXPECT_EQ(wrkey_mif1(first, &nullCell), kErrArgument);

  const std::int32_t second = kMifare.open();  // the same port again replaces the handle
  ASSERT_GT(second, 0);
  EXPECT_NE(second, first);
  EXPECT_EQ(dv_beep(first, 1), kErrNotOpen);
  EXPECT_EQ(closecomm(second), 0);
  EXPECT_EQ(dv_beep(second, 1), kErrNotOpen);
  EXPECT_EQ(closecomm(0), kErrNotOpen);
  // Opening a port again lets its reader go first, even when the new open fails.
  const std::int32_t third = kMifare.open();
  bench.emulator.reset();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(kMifare.open(), kErrPort);
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(closecomm(third), kErrNotOpen);
  // The serial reader never needs PC/SC: its library was not even loaded.
  EXPECT_EQ(::dlopen("libpcsclite.so.1", RTLD_NOW | RTLD_NOLOAD), nullptr);
}

TEST(ProximityDriver, RefusesPortsThatAreNotSerialLinesAndSaysWhy) {
  const Bench bench("proximity", "t5557");
  const auto portDir = bench.card.parent_path();
  std::ofstream(portDir / "COM2") << "precious";
  std::filesystem::create_symlink("/dev/null", portDir / "COM3");
  std::filesystem::create_symlink("/dev/tty", portDir / "COM5");
  // The port, the baud rate, the result and what stderr says.
  const std::tuple<const char*, std::int32_t, std::int32_t, const char*> rows[] = {
      {"COM1", 19200, kErrArgument, ""},
      {"COM2", 9600, kErrPort, "MF_InitComm: cannot open "},  // a regular file
      {"COM3", 9600, kErrPort, "not a serial device"},
      {"COM4", 9600, kErrPort, "No such file or directory"},
      {"COM5", 9600, kErrPort, "it is a console or terminal, not a serial port"},
  };
  for (const auto& [port, baud, expected, message] : rows) {
    SCOPED_TRACE(port);
    ASSERT_EQ(MF_InitComm("COM1", 9600), 0);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MF_InitComm(port, baud), expected);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(message), std::string::npos) << said;
    if (expected == kErrPort) {
      EXPECT_EQ(ML_GetDevice_Ver(0, nullptr), kErrNotOpen) << "the old port is closed too";
    }
  }
  std::ifstream file(portDir / "COM2");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "precious");
  MF_ExitComm();
}

}  // namespace
}  // namespace keycard::drivers::testing
