#include "link/PortTrust.h"

#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <string_view>
#include <vector>

namespace keycard::link {

namespace {

// As many as the kernel follows before it gives up with ELOOP.
constexpr int kMaxLinks = 40;
// Where ordinary users' ids begin; below are root and the system's own accounts.
constexpr uid_t kFirstOrdinaryUser = 1000;
// Linux device numbers: /dev/tty0 to /dev/tty63 are the virtual consoles (the serial ports
// ttyS* share major 4 from minor 64 on); /dev/tty and /dev/console are 5:0 and 5:1, and the
// pseudo-terminal multiplexer (/dev/ptmx, /dev/pts/ptmx) is 5:2.
constexpr unsigned kVirtualConsoleMajor = 4;
constexpr unsigned kFirstSerialMinor = 64;
constexpr unsigned kTerminalMajor = 5;
constexpr unsigned kConsoleMinor = 1;
constexpr unsigned kMultiplexerMinor = 2;

bool trustedOwner(uid_t owner, uid_t user) {
  return owner == 0 || owner == user;
}

bool othersMayWrite(const struct stat& folder) {
  return (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

std::string anotherUser(const std::string& path, uid_t owner) {
  return path + " belongs to another user (uid " + std::to_string(owner) + ")";
}

std::string folderRefusal(const std::string& path, const struct stat& folder, uid_t user) {
  if (!trustedOwner(folder.st_uid, user)) return anotherUser(path, folder.st_uid);
  if (othersMayWrite(folder) && (folder.st_mode & S_ISVTX) == 0) {
    return path + " may be written by users other than its owner (chmod go-w " + path + ")";
  }
  return {};
}

void pushFrontComponents(std::deque<std::string>& rest, std::string_view path) {
  std::vector<std::string> parts;
  std::size_t begin = 0;
  while (begin <= path.size()) {
    const std::size_t end = std::min(path.find('/', begin), path.size());
    if (end > begin) parts.emplace_back(path.substr(begin, end - begin));
    begin = end + 1;
  }
  rest.insert(rest.begin(), parts.begin(), parts.end());
}

std::string join(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

std::string parentOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

bool isOwnTerminal(dev_t device) {
  for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    struct stat terminal {};
    if (::isatty(fd) != 0 && ::fstat(fd, &terminal) == 0 && terminal.st_rdev == device) {
      return true;
    }
  }
  return false;
}

}  // namespace

TrustedPath followTrusted(const std::string& path, uid_t user) {
  std::deque<std::string> rest;
  pushFrontComponents(rest, path);
  if (!path.starts_with('/')) {
    // The working folder's path as the kernel gives it has no links in it.
    std::vector<char> cwd(4096);
    if (::getcwd(cwd.data(), cwd.size()) == nullptr) return {path, {}, errno};
    pushFrontComponents(rest, cwd.data());
  }
  const std::string root(1, '/');
  std::string at = root;  // always a path without links
  int links = 0;
  while (!rest.empty()) {
    const std::string name = std::move(rest.front());
    rest.pop_front();
    if (name == ".") continue;
    if (name == "..") {
      at = parentOf(at);
      continue;
    }
    struct stat folder {};
    if (::stat(at.c_str(), &folder) != 0) return {at, {}, errno};
    if (std::string refusal = folderRefusal(at, folder, user); !refusal.empty()) {
      return {at, std::move(refusal), 0};
    }
    const std::string next = join(at, name);
    struct stat entry {};
    if (::lstat(next.c_str(), &entry) != 0) return {next, {}, errno};
    if (othersMayWrite(folder) && !trustedOwner(entry.st_uid, user)) {
      return {next, anotherUser(next, entry.st_uid) + " in the shared folder " + at, 0};
    }
    if (!S_ISLNK(entry.st_mode)) {
      at = next;
      continue;
    }
    if (++links > kMaxLinks) return {next, next + " leads through too many links", 0};
    std::vector<char> target(static_cast<std::size_t>(entry.st_size) + 2);
    const ssize_t length = ::readlink(next.c_str(), target.data(), target.size() - 1);
    if (length < 0) return {next, {}, errno};
    const std::string_view linked(target.data(), static_cast<std::size_t>(length));
    pushFrontComponents(rest, linked);
    if (linked.starts_with('/')) at = root;
  }
  return {at, {}, 0};
}

std::string deviceRefusal(const struct stat& device, uid_t user) {
  const unsigned major = ::major(device.st_rdev);
  const unsigned minor = ::minor(device.st_rdev);
  struct stat console {};
  // In a container /dev/console may be another terminal mounted over it.
  const bool isConsole =
      (major == kTerminalMajor && minor <= kConsoleMinor) ||
      (major == kVirtualConsoleMajor && minor < kFirstSerialMinor) ||
      (::stat("/dev/console", &console) == 0 && console.st_rdev == device.st_rdev);
  if (isConsole) return "it is a console or terminal, not a serial port";
  // Every opening makes a new pseudo-terminal that no reader is on: the first exchange would
  // only time out.
  if (major == kTerminalMajor && minor == kMultiplexerMinor) {
    return "it is the pseudo-terminal multiplexer, which makes a new terminal at each opening, "
           "not a serial port";
  }
  if (isOwnTerminal(device.st_rdev)) return "it is the terminal this program runs in";
  if (device.st_uid >= kFirstOrdinaryUser && device.st_uid != user) {
    return "the device belongs to another user (uid " + std::to_string(device.st_uid) + ")";
  }
  return {};
}

}  // namespace keycard::link
