// Which ports are trusted: the way from a port's name to its device, through folders and links
// that only root and the caller may change, and the devices a port may be.
#include "link/PortTrust.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <functional>
#include <ostream>
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

struct FolderCase {
  const char* name;
  // Makes dir/COM1 and whatever it leads through; `device` is where it should end.
  std::function<void(const fs::path& dir, const std::string& device)> arrange;
  const char* refusal;  // a part of the reason, or "" when the port is trusted
  bool needsRoot = false;
  friend void PrintTo(const FolderCase& row, std::ostream* out) { *out << row.name; }
};

class FollowTrusted : public ::testing::TestWithParam<FolderCase> {};

TEST_P(FollowTrusted, RefusesWaysOthersCouldRedirect) {
  const FolderCase& row = GetParam();
  if (row.needsRoot && geteuid() != 0) GTEST_SKIP() << "giving files away needs root";
  const Device device;
  ASSERT_FALSE(device.path().empty());
  const keycard::testing::TempDir dir;
  row.arrange(dir.path(), device.path());
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

void linkTo(const fs::path& dir, const std::string& device) {
  fs::create_symlink(device, dir / "COM1");
}

// dir/COM1 leads to the device, and dir has `mode`.
std::function<void(const fs::path&, const std::string&)> linkInFolderOfMode(mode_t mode) {
  return [mode](const fs::path& dir, const std::string& device) {
    linkTo(dir, device);
    ::chmod(dir.c_str(), mode);
  };
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FollowTrusted,
    ::testing::Values(FolderCase{"LinkInAPrivateFolder", linkTo, ""},
                      FolderCase{"RelativeLinkThroughDots",
                                 [](const fs::path& dir, const std::string& device) {
                                   fs::create_directory(dir / "sub");
                                   fs::create_symlink(device, dir / "device");
                                   fs::create_symlink("./sub/../device", dir / "COM1");
                                 },
                                 ""},
                      FolderCase{"FolderEveryoneMayWrite", linkInFolderOfMode(0777),
                                 "may be written by users other than its owner"},
                      FolderCase{"FolderItsGroupMayWrite", linkInFolderOfMode(0770),
                                 "may be written by users other than its owner"},
                      FolderCase{"LinkIntoAFolderEveryoneMayWrite",
                                 [](const fs::path& dir, const std::string& device) {
                                   fs::create_directory(dir / "open");
                                   fs::create_symlink(device, dir / "open" / "device");
                                   ::chmod((dir / "open").c_str(), 0777);
                                   fs::create_symlink(dir / "open" / "device", dir / "COM1");
                                 },
                                 "open may be written by users other than its owner"},
                      FolderCase{"OwnLinkInASharedStickyFolder", linkInFolderOfMode(01777), ""},
                      FolderCase{
                          "AnothersLinkInASharedStickyFolder",
                          [](const fs::path& dir, const std::string& device) {
                            linkInFolderOfMode(01777)(dir, device);
                            ASSERT_EQ(::lchown((dir / "COM1").c_str(), kOtherUser, kUnchangedGroup),
                                      0);
                          },
                          "COM1 belongs to another user (uid 4321) in the shared folder", true},
                      FolderCase{"FolderOfAnotherUser",
                                 [](const fs::path& dir, const std::string& device) {
                                   linkTo(dir, device);
                                   ASSERT_EQ(::chown(dir.c_str(), kOtherUser, kUnchangedGroup), 0);
                                 },
                                 "belongs to another user (uid 4321)", true},
                      FolderCase{"LinkToItself",
                                 [](const fs::path& dir, const std::string&) {
                                   fs::create_symlink(dir / "COM1", dir / "COM1");
                                 },
                                 "too many links"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(TrustedFolders, RootsAreTrustedByEveryone) {
  const TrustedPath followed = followTrusted("/dev/null", kOtherUser);
  EXPECT_EQ(followed.refusal, "");
  EXPECT_EQ(followed.path, "/dev/null");
}

TEST(DeviceRefusal, ConsolesAndOtherUsersTerminalsAreNoPorts) {
  const struct {
    const char* name;
    unsigned major, minor;
    uid_t owner, caller;
    const char* refusal;
  } rows[] = {
      {"/dev/tty", 5, 0, 0, 1000, "console or terminal"},
      {"/dev/console", 5, 1, 0, 1000, "console or terminal"},
      {"/dev/tty63", 4, 63, 1000, 1000, "console or terminal"},
      {"/dev/ptmx or /dev/pts/ptmx", 5, 2, 0, 1000, "pseudo-terminal multiplexer"},
      {"/dev/ttyS0", 4, 64, 0, 1000, ""},
      {"another user's terminal", 143, 255, kOtherUser, 1000, "another user (uid 4321)"},
      {"the caller's own terminal", 143, 255, kOtherUser, kOtherUser, ""},
      {"a system account's device", 143, 255, 999, 1000, ""},
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
