// Helpers for tests that need a reader: a running keycard-emulator on a pseudo-terminal, a
// throw-away folder, card files and an environment variable set for one scope.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <filesystem>
#include <optional>
#include <string>

#include "link/PortName.h"

namespace keycard::testing {

// Each member has a default, so a designated initializer may leave any out.
struct EmulatorOptions {
  std::string kind = "proximity";  // or "mifare"
  std::filesystem::path card{};
  std::filesystem::path portDir{};  // empty: the emulator takes $KEYCARD_PORT_DIR
  bool wireDelay = false;
  std::filesystem::path log{};  // empty: no log
  std::string fault{};          // empty: none
  int faultFrom = 1;  // the first request the fault spoils; earlier ones are answered soundly
  // Not 0: the card on the virtual PC/SC reader at 127.0.0.1:vpcdPort (kind "mifare", no port).
  int vpcdPort = 0;
  std::string
      reader{};  // with vpcdPort: "acs", "identiv" or "omnikey"; empty: the emulator's default
};

// Starts keycard-emulator on COM1, or with its card on the virtual PC/SC reader, and waits until
// it is ready (the port answers; pcscd has powered the card, or there is no card file yet); stops
// it on destruction.
class EmulatorProcess {
 public:
  // Throws std::runtime_error when the emulator does not report "ready" within 5 s.
  explicit EmulatorProcess(const EmulatorOptions& options);
  EmulatorProcess(const EmulatorProcess&) = delete;
  EmulatorProcess& operator=(const EmulatorProcess&) = delete;
  ~EmulatorProcess();

  // `signal`, and SIGKILL if it has not ended 2 s later. The exit code, or 128 + the signal that
  // ended it.
  int stop(int signal = SIGTERM);

 private:
  pid_t pid_ = -1;
};

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it on destruction.
class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Sets an environment variable for the life of the object and restores the old value (or its
// absence) afterwards.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::string& value);
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv();

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

// Points the drivers and the emulator at the port links in `folder` for the life of the object.
class ScopedPortDir : public ScopedEnv {
 public:
  explicit ScopedPortDir(const std::filesystem::path& folder)
      : ScopedEnv(link::kPortDirVariable, folder.string()) {}
};

// Card files, made and read by `keycard-emulator card new|record|block`. `type` is "t5557",
// "em4469", "mifare1k" or "ultralight"; hex is capital on output and either case on input.
// `keyAHex12` gives a Mifare 1K card a key A of its own in every sector. Throw
// std::runtime_error with the command's message on a bad argument (a block not on the card
// among them) or an unreadable file.
void newCard(const std::string& type, const std::filesystem::path& file,
             std::optional<std::string> recordHex48 = {},
             std::optional<std::string> keyAHex12 = {});
std::string cardRecord(const std::filesystem::path& file);
std::string cardBlock(const std::filesystem::path& file, int n);

}  // namespace keycard::testing
