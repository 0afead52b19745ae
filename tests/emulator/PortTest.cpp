// The port an emulator serves: its link goes only where it harms nothing, and one emulator at a
// time holds it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <tuple>

#include "emulator/serial/PortLink.h"
#include "emulator/serial/PortLock.h"
#include "emulator/serial/PseudoTerminal.h"
#include "tests/support/EmulatorProcess.h"

namespace keycard::emulator {
namespace {

namespace fs = std::filesystem;

// What is at `path`, without following a link: "link to T", "file", "folder" or "nothing".
std::string whatIsAt(const fs::path& path) {
  const auto status = fs::symlink_status(path);
  if (fs::is_symlink(status)) return "link to " + fs::read_symlink(path).string();
  if (fs::is_directory(status)) return "folder";
  return fs::exists(status) ? "file" : "nothing";
}

TEST(PortLink, ReplacesOnlyWhatLeadsNowhereOrToItsOwnLine) {
  testing::TempDir dir;
  const fs::path link = dir / "COM1";
  const PseudoTerminal line;
  const PseudoTerminal otherProgramsTerminal;
  using Setup = std::function<void()>;
  const auto linkTo = [&](const fs::path& target) -> Setup {
    return [&, target] { fs::create_symlink(target, link); };
  };
  const std::tuple<const char*, Setup, const char*> rows[] = {
      {"nothing there", [] {}, nullptr},
      {"a link left by a killed emulator", linkTo("/dev/pts/999999"), nullptr},
      {"a link to this emulator's line", linkTo(line.slavePath()), nullptr},
      {"a link to a device", linkTo("/dev/null"), "leads to /dev/null, which is there"},
      {"a link to another program's terminal", linkTo(otherProgramsTerminal.slavePath()),
       "which is there"},
      {"a link to a file", linkTo(dir / "notes"), "which is there"},
      {"a file", [&] { fs::copy_file(dir / "notes", link); }, "exists and is not a link"},
  };
  std::ofstream(dir / "notes") << "notes\n";
  for (const auto& [name, setup, refusal] : rows) {
    SCOPED_TRACE(name);
    fs::remove_all(link);
    setup();
    const std::string before = whatIsAt(link);
    std::ostringstream notes;
    if (refusal != nullptr) {
      try {
        PortLink port(link, line.slavePath(), notes);
        ADD_FAILURE() << "made the link";
      } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find(refusal), std::string::npos) << error.what();
      }
      EXPECT_EQ(whatIsAt(link), before) << "left as it was";
      continue;
    }
    {
      PortLink port(link, line.slavePath(), notes);
      EXPECT_EQ(whatIsAt(link), "link to " + line.slavePath());
    }
    EXPECT_EQ(whatIsAt(link), "nothing") << "removed on the way out";
  }
}

TEST(PortLock, OneHolderAtATimeAndNothingLeftBehind) {
  testing::TempDir dir;
  const fs::path link = dir / "ports" / "COM1";  // the folder is made as well
  {
    const PortLock first(link);
    try {
      const PortLock second(link);
      ADD_FAILURE() << "locked twice";
    } catch (const std::runtime_error& error) {
      EXPECT_EQ(std::string(error.what()), "COM1 is already served by another emulator (process " +
                                               std::to_string(::getpid()) +
                                               "); stop it or choose another port");
    }
  }
  EXPECT_EQ(whatIsAt(dir / "ports" / "COM1.lock"), "nothing");
  EXPECT_NO_THROW(PortLock again(link));

  // Whatever else is in the lock file's place is refused without waiting on it.
  ::mkfifo((dir / "ports" / "COM2.lock").c_str(), 0600);
  EXPECT_THROW(PortLock fifo(dir / "ports" / "COM2"), std::runtime_error);
  fs::create_symlink(dir / "elsewhere", dir / "ports" / "COM3.lock");
  EXPECT_THROW(PortLock linked(dir / "ports" / "COM3"), std::runtime_error);
  EXPECT_FALSE(fs::exists(dir / "elsewhere"));
}

}  // namespace
}  // namespace keycard::emulator
