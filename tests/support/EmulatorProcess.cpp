#include "tests/support/EmulatorProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace keycard::testing {

namespace {

// `signal`, then SIGKILL after a grace period; the exit code, or 128 + signal.
int stopProcess(pid_t pid, int signal = SIGTERM) {
  ::kill(pid, signal);
  const auto killAt = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  int status = 0;
  pid_t done = 0;
  while ((done = ::waitpid(pid, &status, WNOHANG)) == 0) {
    if (std::chrono::steady_clock::now() >= killAt) ::kill(pid, SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return done < 0 ? -1 : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

std::vector<std::string> commandLine(const EmulatorOptions& options) {
  std::vector<std::string> args{KEYCARD_EMULATOR_PATH, "--kind", options.kind, "--card",
                                options.card.string()};
  if (options.vpcdPort != 0) {
    args.insert(args.end(), {"--vpcd", std::to_string(options.vpcdPort)});
    if (!options.reader.empty()) args.insert(args.end(), {"--reader", options.reader});
  } else {
    args.insert(args.end(), {"--port", "COM1"});
  }
  if (!options.portDir.empty()) args.insert(args.end(), {"--port-dir", options.portDir.string()});
  if (options.wireDelay) args.emplace_back("--wire-delay");
  if (!options.log.empty()) args.insert(args.end(), {"--log", options.log.string()});
  if (!options.fault.empty()) {
    args.insert(args.end(),
                {"--fault", options.fault, "--fault-from", std::to_string(options.faultFrom)});
  }
  return args;
}

// Starts the emulator with a new pipe's write end as its stdout; `pipeFds[0]` is the read end, the
// caller's to close.
pid_t startEmulator(const EmulatorOptions& options, int pipeFds[2]) {
  const auto fail = [] {
    throw std::runtime_error(std::string("cannot start keycard-emulator: ") + std::strerror(errno));
  };
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) fail();
  std::vector<std::string> args = commandLine(options);
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) fail();
  if (pid == 0) {  // the child: the pipe in place, then the emulator (127 if it is not there)
    ::dup2(pipeFds[1], STDOUT_FILENO);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  return pid;
}

}  // namespace

EmulatorProcess::EmulatorProcess(const EmulatorOptions& options) {
  int pipeFds[2];
  pid_ = startEmulator(options, pipeFds);
  // The emulator says "ready" with one write(), and a pipe hands so few bytes over whole. It
  // writes nothing more there, and ignores SIGPIPE.
  pollfd watched{pipeFds[0], POLLIN, 0};
  char said[16] = {};
  const bool ready = ::poll(&watched, 1, 5000) > 0 &&
                     ::read(pipeFds[0], said, sizeof said - 1) > 0 &&
                     std::string_view(said) == "ready\n";
  ::close(pipeFds[0]);
  if (!ready) {
    throw std::runtime_error("keycard-emulator did not become ready within 5 s (exit status " +
                             std::to_string(stopProcess(pid_)) +
                             "; its message is on stderr above)");
  }
}

EmulatorProcess::~EmulatorProcess() {
  if (pid_ > 0) stopProcess(pid_);
}

int EmulatorProcess::stop(int signal) {
  return stopProcess(std::exchange(pid_, -1), signal);
}

}  // namespace keycard::testing
