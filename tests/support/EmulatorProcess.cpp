#include "EmulatorProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string_view>
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
  if (!options.fault.empty()) {
    args.insert(args.end(),
                {"--fault", options.fault, "--fault-from", std::to_string(options.faultFrom)});
  }
  if (!options.log.empty()) args.insert(args.end(), {"--log", options.log.string()});
  return args;
}

// True once the child says "ready" on stdout; false when it ends or falls silent first. The
// emulator writes that line with one write(), and a pipe hands so few bytes over whole.
bool awaitReady(int fd) {
  pollfd watched{fd, POLLIN, 0};
  char said[16] = {};
  return ::poll(&watched, 1, kReadyTimeoutMs) > 0 && ::read(fd, said, sizeof said - 1) > 0 &&
         std::string_view(said) == "ready\n";
}

}  // namespace

EmulatorProcess::EmulatorProcess(const EmulatorOptions& options) {
  const char* envDir = std::getenv("KEYCARD_PORT_DIR");
  portPath_ = (options.portDir.empty() ? std::filesystem::path(envDir != nullptr ? envDir : "")
                                       : options.portDir) /
              options.port;

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
  const bool ready = awaitReady(pipeFds[0]);
  ::close(pipeFds[0]);  // the emulator writes nothing more there, and ignores SIGPIPE
  if (!ready) {
    throw std::runtime_error("keycard-emulator did not become ready within 5 s (exit status " +
                             std::to_string(stop()) + "; its message is on stderr above)");
  }
}

EmulatorProcess::~EmulatorProcess() {
  stop();
}

int EmulatorProcess::stop() {
  if (exitStatus_) return *exitStatus_;
  ::kill(pid_, SIGTERM);
  const auto killAt = std::chrono::steady_clock::now() + kStopGrace;
  int status = 0;
  pid_t done = 0;
  while ((done = ::waitpid(pid_, &status, WNOHANG)) == 0) {
    if (std::chrono::steady_clock::now() >= killAt) ::kill(pid_, SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (done < 0) return *(exitStatus_ = -1);
  exitStatus_ = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
  return *exitStatus_;
}

}  // namespace keycard::testing
