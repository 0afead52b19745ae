#include <gtest/gtest.h>

#include <fstream>

#include "EmulatorProcess.h"
#include "emulator/Server.h"

namespace keycard::testing {
namespace {

TEST(EmulatorProcess, OwnsItsPortLinkButNeverAFile) {
  TempDir dir;
  EmulatorOptions options;
  options.card = dir / "card";
  options.portDir = dir.path();
  std::filesystem::create_symlink("/dev/pts/no-such-line", dir / "COM1");  // left by a crash
  {
    EmulatorProcess emulator(options);
    EXPECT_NE(std::filesystem::read_symlink(dir / "COM1"), "/dev/pts/no-such-line");
    EXPECT_EQ(emulator.stop(), emulator::kExitOk);
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir / "COM1")));

  std::ofstream(dir / "COM1") << "not a port";
  EXPECT_THROW(EmulatorProcess{options}, std::runtime_error);
  EXPECT_TRUE(std::filesystem::is_regular_file(dir / "COM1"));
  const ScopedEnv noPortDir("KEYCARD_PORT_DIR", "");
  options.portDir.clear();
  EXPECT_THROW(EmulatorProcess{options}, std::runtime_error);
}

}  // namespace
}  // namespace keycard::testing
