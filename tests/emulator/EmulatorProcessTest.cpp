// The emulator's port link: it replaces a stale link, never a file, and goes with the emulator.
#include <gtest/gtest.h>

#include <fstream>

#include "EmulatorProcess.h"
#include "emulator/Server.h"

namespace keycard::testing {
namespace {

EmulatorOptions onPort(const TempDir& dir, const std::string& port = "COM1") {
  EmulatorOptions options;
  options.port = port;
  options.card = dir / "card";
  options.portDir = dir.path();
  return options;
}

TEST(EmulatorProcess, ReplacesAStaleLinkAndRemovesItOnSigterm) {
  TempDir dir;
  std::filesystem::create_symlink("/dev/pts/no-such-line", dir / "COM1");
  EmulatorProcess emulator(onPort(dir));
  EXPECT_NE(std::filesystem::read_symlink(dir / "COM1"), "/dev/pts/no-such-line");
  EXPECT_EQ(emulator.stop(), emulator::kExitOk);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir / "COM1")));
}

TEST(EmulatorProcess, RefusesToStartWithoutAPortFolderOrOverAFile) {
  TempDir dir;
  ScopedEnv noPortDir("KEYCARD_PORT_DIR", "");
  EmulatorOptions inNoFolder = onPort(dir);
  inNoFolder.portDir.clear();
  EXPECT_THROW(EmulatorProcess{inNoFolder}, std::runtime_error);
  std::ofstream(dir / "COM2") << "not a port";
  EXPECT_THROW(EmulatorProcess{onPort(dir, "COM2")}, std::runtime_error);
  EXPECT_TRUE(std::filesystem::is_regular_file(dir / "COM2"));
}

}  // namespace
}  // namespace keycard::testing
