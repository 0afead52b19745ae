// Which ports are trusted: the way from a port's name to its device, through folders and links
// that only root and the caller may change, and the devices a port may be.
#include "link/PortTrust.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <functional>
#include <string>

#include "tests/link/FarEnd.h"
#include "tests/support/EmulatorProcess.h"

namespace keycard::link {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kOtherUser = 4321;
constexpr gid_t kUnchangedGroup = static_cast<gid_t>(-1);

// A pseudo-terminal stands in for a serial device, owned by the caller (root in CI).
using Device = keycard::testing::FarEnd;

TEST(FollowTrusted, RefusesWaysOthersCouldRedirect) {
  const Device device;
  ASSERT_FALSE(device.path().empty());
  const fs::path target = device.path();
  const auto linkIn = [&](mode_t mode) {  // dir/COM1 leads to the device, and dir has `mode`
    return [&, mode](const fs::path& dir) {
      fs::create_symlink(target, dir / "COM1");
      ::chmod(dir.c_str(), mode);
    };
  };
  const struct {
    const char* name;
    std::function<void(const fs::path& dir)> arrange;  // makes dir/COM1 and what it leads through
    const char* refusal;  // a part of the reason, or "" when the port is trusted
    bool needsRoot = false;
  } rows[] = {
      {"link in a private folder", linkIn(0700), ""},
      {"relative link through dots",
       [&](const fs::path& dir) {
         fs::create_directory(dir / "sub");
         fs::create_symlink(target, dir / "device");
         fs::create_symlink("./sub/../device", dir / "COM1");
       },
       ""},
      {"folder everyone may write", linkIn(0777), "may be written by users other than its owner"},
      {"link into a folder everyone may write",
       [&](const fs::path& dir) {
         fs::create_directory(dir / "open");
         fs::create_symlink(target, dir / "open" / "device");
         ::chmod((dir / "open").c_str(), 0777);
         fs::create_symlink(dir / "open" / "device", dir / "COM1");
       },
       "open may be written by users other than its owner"},
      {"own link in a shared sticky folder", linkIn(01777), ""},
      {"another's link in a shared sticky folder",
       [&](const fs::path& dir) {
         linkIn(01777)(dir);
         ASSERT_EQ(::lchown((dir / "COM1").c_str(), kOtherUser, kUnchangedGroup), 0);
       },
       "COM1 belongs to another user (uid 4321) in the shared folder", true},
      {"folder of another user",
       [&](const fs::path& dir) {
         linkIn(0700)(dir);
         ASSERT_EQ(::chown(dir.c_str(), kOtherUser, kUnchangedGroup), 0);
       },
       "belongs to another user (uid 4321)", true},
      {"link to itself",
       [](const fs::path& dir) { fs::create_symlink(dir / "COM1", dir / "COM1"); },
       "too many links"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.needsRoot && geteuid() != 0) continue;  // giving files away needs root
    const keycard::testing::TempDir dir;
    row.arrange(dir.path());
    const TrustedPath followed = followTrusted((dir / "COM1").string(), geteuid());
    EXPECT_EQ(followed.error, 0);
    if (*row.refusal == '\0') {
      EXPECT_EQ(followed.refusal, "");
      EXPECT_EQ(followed.path, device.path());
    } else {
      EXPECT_NE(followed.refusal.find(row.refusal), std::string::npos) << followed.refusal;
    }
    fs::permissions(dir.path(), fs::perms::owner_all);  // so the folder can be cleared again
  }
}

TEST(DeviceRefusal, ConsolesAndOtherUsersTerminalsAreNoPorts) {
  const struct {
    const char* name;
    unsigned major, minor;
    uid_t owner, caller;
    const char* refusal;
  } rows[] = {
      {"/dev/tty", 5, 0, 0, 1000, "console or terminal"},
      {"/dev/tty63", 4, 63, 1000, 1000, "console or terminal"},
      {"/dev/ptmx or /dev/pts/ptmx", 5, 2, 0, 1000, "pseudo-terminal multiplexer"},
      {"/dev/ttyS0", 4, 64, 0, 1000, ""},
      {"another user's terminal", 143, 255, kOtherUser, 1000, "another user (uid 4321)"},
      {"the caller's own terminal", 143, 255, kOtherUser, kOtherUser, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    struct stat device {};
    device.st_mode = S_IFCHR | 0660;
    device.st_rdev = makedev(row.major, row.minor);
    device.st_uid = row.owner;
    const std::string refusal = deviceRefusal(device, row.caller);
    if (*row.refusal == '\0') {
      EXPECT_EQ(refusal, "");
    } else {
      EXPECT_NE(refusal.find(row.refusal), std::string::npos) << refusal;
    }
  }
}

// What deviceRefusal says of `port` while the standard input is `input`'s terminal.
std::string refusalWithInputOn(const Device& input, const struct stat& port) {
  const int slave = ::open(input.path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  const int savedInput = ::dup(STDIN_FILENO);
  if (slave < 0 || savedInput < 0) return "(cannot open the terminal)";
  ::dup2(slave, STDIN_FILENO);
  std::string refusal = deviceRefusal(port, geteuid());
  ::dup2(savedInput, STDIN_FILENO);
  ::close(savedInput);
  ::close(slave);
  return refusal;
}

TEST(DeviceRefusal, TheTerminalThisProgramRunsInIsNoPort) {
  const Device device;
  const Device another;
  struct stat terminal {};
  ASSERT_EQ(::stat(device.path().c_str(), &terminal), 0);
  EXPECT_EQ(refusalWithInputOn(another, terminal), "");
  EXPECT_EQ(refusalWithInputOn(device, terminal), "it is the terminal this program runs in");
}

}  // namespace
}  // namespace keycard::link
