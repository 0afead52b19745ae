#include "EmulatorProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

namespace keycard::testing {

namespace {

constexpr int kReadyTimeoutMs = 5000;
constexpr std::chrono::seconds kStopGrace{2};

std::vector<std::string> commandLine(const EmulatorOptions& options) {
  std::vector<std::string> args{KEYCARD_EMULATOR_PATH, "--kind", options.kind,         "--port",
                                options.port,          "--card", options.card.string()};
  if (!options.portDir.empty()) args.insert(args.end(), {"--port-dir", options.portDir.string()});
  if (options.wireDelay) args.emplace_back("--wire-delay");
  if (!options.fault.empty()) args.insert(args.end(), {"--fault", options.fault});
  if (options.faultFrom != 1)
    args.insert(args.end(), {"--fault-from", std::to_string(options.faultFrom)});
  if (!options.log.empty()) args.insert(args.end(), {"--log", options.log.string()});
  return args;
}

int exitCodeOf(int status) {
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

// True once the child's stdout holds the line "ready"; false when it ends or falls silent first.
bool awaitReady(int fd) {
  std::string seen;
  pollfd watched{fd, POLLIN, 0};
  while (seen.find("ready\n") == std::string::npos) {
    if (::poll(&watched, 1, kReadyTimeoutMs) <= 0) return false;
    char chunk[256];
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got <= 0) return false;
    seen.append(chunk, static_cast<std::size_t>(got));
  }
  return true;
}

}  // namespace

EmulatorProcess::EmulatorProcess(const EmulatorOptions& options) {
  const char* envDir = std::getenv("KEYCARD_PORT_DIR");
  const std::filesystem::path dir = options.portDir.empty()
                                        ? std::filesystem::path(envDir != nullptr ? envDir : "")
                                        : options.portDir;
  portPath_ = dir / options.port;

  std::vector<std::string> args = commandLine(options);
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0 || (pid_ = ::fork()) < 0) {
    throw std::runtime_error(std::string("cannot start keycard-emulator: ") + std::strerror(errno));
  }
  if (pid_ == 0) {  // the child: stdout into the pipe, then the emulator (127 if it is not there)
    ::dup2(pipeFds[1], STDOUT_FILENO);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  stdoutFd_ = pipeFds[0];
  if (!awaitReady(stdoutFd_)) {
    const int status = stop();
    ::close(stdoutFd_);
    throw std::runtime_error("keycard-emulator did not become ready within 5 s (exit status " +
                             std::to_string(status) + "; its message is on stderr above)");
  }
}

EmulatorProcess::~EmulatorProcess() {
  stop();
  if (stdoutFd_ >= 0) ::close(stdoutFd_);
}

std::optional<int> EmulatorProcess::waitForExit(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!exitStatus_) {
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) exitStatus_ = exitCodeOf(status);
    if (done < 0 && errno != EINTR) exitStatus_ = -1;
    if (exitStatus_ || std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return exitStatus_;
}

int EmulatorProcess::stop() {
  if (exitStatus_) return *exitStatus_;
  ::kill(pid_, SIGTERM);
  if (auto status = waitForExit(kStopGrace)) return *status;
  ::kill(pid_, SIGKILL);
  return *waitForExit(std::chrono::hours(1));
}

}  // namespace keycard::testing
