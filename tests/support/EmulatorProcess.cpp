#include "EmulatorProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace keycard::testing {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kReadyTimeout = std::chrono::seconds(5);
constexpr auto kStopGrace = std::chrono::seconds(2);

std::vector<std::string> commandLine(const EmulatorOptions& options) {
  std::vector<std::string> args{KEYCARD_EMULATOR_PATH, "--kind", options.kind,         "--port",
                                options.port,          "--card", options.card.string()};
  if (!options.portDir.empty()) args.insert(args.end(), {"--port-dir", options.portDir.string()});
  if (options.wireDelay) args.emplace_back("--wire-delay");
  if (!options.fault.empty()) args.insert(args.end(), {"--fault", options.fault});
  if (!options.log.empty()) args.insert(args.end(), {"--log", options.log.string()});
  return args;
}

int decodeWaitStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Reads the child's stdout until a whole line "ready" arrives. False on end of file or timeout.
bool awaitReady(int fd) {
  const auto deadline = Clock::now() + kReadyTimeout;
  std::string seen;
  while (Clock::now() < deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd pfd{fd, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, static_cast<int>(left.count()) + 1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    char chunk[256];
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    seen.append(chunk, static_cast<std::size_t>(got));
    if (seen.find("ready\n") != std::string::npos) return true;
  }
  return false;
}

}  // namespace

EmulatorProcess::EmulatorProcess(const EmulatorOptions& options) {
  if (options.portDir.empty()) {
    const char* dir = std::getenv("KEYCARD_PORT_DIR");
    portPath_ = std::filesystem::path(dir != nullptr ? dir : "") / options.port;
  } else {
    portPath_ = options.portDir / options.port;
  }

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
    throw std::runtime_error(std::string("cannot create a pipe for keycard-emulator: ") +
                             std::strerror(errno));
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);

  const std::vector<std::string> args = commandLine(options);
  std::vector<char*> argv;
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  const int spawnError = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  stdoutFd_ = pipeFds[0];
  if (spawnError != 0) {
    ::close(stdoutFd_);
    throw std::runtime_error(std::string("cannot start ") + KEYCARD_EMULATOR_PATH + ": " +
                             std::strerror(spawnError));
  }
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
  if (exitStatus_) return exitStatus_;
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      exitStatus_ = decodeWaitStatus(status);
      return exitStatus_;
    }
    if (done < 0 && errno != EINTR) {
      exitStatus_ = -1;
      return exitStatus_;
    }
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

int EmulatorProcess::stop() {
  if (exitStatus_) return *exitStatus_;
  ::kill(pid_, SIGTERM);
  if (auto status =
          waitForExit(std::chrono::duration_cast<std::chrono::milliseconds>(kStopGrace))) {
    return *status;
  }
  ::kill(pid_, SIGKILL);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  exitStatus_ = decodeWaitStatus(status);
  return *exitStatus_;
}

}  // namespace keycard::testing
