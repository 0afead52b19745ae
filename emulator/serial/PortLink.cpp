#include "emulator/serial/PortLink.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>
#include <stdexcept>
#include <string>
#include <system_error>

namespace keycard::emulator {

namespace {

// Whether `path`, followed, is the terminal device `line`.
bool leadsTo(const std::filesystem::path& path, const struct stat& line) {
  struct stat target {};
  return ::stat(path.c_str(), &target) == 0 && S_ISCHR(target.st_mode) &&
         target.st_rdev == line.st_rdev;
}

void removeLinksTo(const std::filesystem::path& folder, const std::filesystem::path& line,
                   std::ostream& notes) {
  struct stat device {};
  if (::stat(line.c_str(), &device) != 0) return;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    std::error_code ignored;
    if (!entry->is_symlink(ignored) || !leadsTo(entry->path(), device)) continue;
    if (::unlink(entry->path().c_str()) == 0) {
      notes << "keycard-emulator: removed " << entry->path().string()
            << ", left by an emulator that ended while " << line.string() << " was its line\n";
    }
  }
}

// Why `link` may not be replaced; empty when it may.
std::string refusalFor(const std::filesystem::path& link) {
  struct stat found {};
  if (::lstat(link.c_str(), &found) != 0) {
    if (errno == ENOENT) return {};
    return "cannot look at " + link.string() + ": " + std::strerror(errno);
  }
  if (!S_ISLNK(found.st_mode)) {
    return link.string() + " exists and is not a link; remove it or choose another port";
  }
  struct stat target {};
  if (::stat(link.c_str(), &target) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return {};  // dangling
    return "cannot tell where " + link.string() + " leads: " + std::strerror(errno);
  }
  std::error_code ignored;
  return link.string() + " leads to " + std::filesystem::read_symlink(link, ignored).string() +
         ", which is there (a device, or another program's terminal); remove the link if nothing "
         "uses it, or choose another port";
}

}  // namespace

PortLink::PortLink(std::filesystem::path link, std::filesystem::path line, std::ostream& notes)
    : link_(std::move(link)), line_(std::move(line)) {
  removeLinksTo(link_.parent_path(), line_, notes);
  if (const std::string refusal = refusalFor(link_); !refusal.empty()) {
    throw std::runtime_error(refusal);
  }
  // Made under another name and renamed over a dangling link, so a driver never finds the port
  // gone.
  std::error_code error;
  const std::filesystem::path fresh = link_.string() + ".new-" + std::to_string(::getpid());
  std::filesystem::remove(fresh, error);
  std::filesystem::create_symlink(line_, fresh, error);
  if (!error) std::filesystem::rename(fresh, link_, error);
  if (error) {
    const std::string message =
        "cannot make the port link " + link_.string() + ": " + error.message();
    std::filesystem::remove(fresh, error);
    throw std::runtime_error(message);
  }
}

PortLink::~PortLink() {
  remove();
}

void PortLink::remove() {
  if (link_.empty()) return;
  std::error_code error;
  if (std::filesystem::read_symlink(link_, error) == line_) std::filesystem::remove(link_, error);
  link_.clear();
}

}  // namespace keycard::emulator
