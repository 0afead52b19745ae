// One port, one program: a second opener is refused at once, and a child process cannot use the
// port it inherited.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>

#include "link/Errors.h"
#include "link/Protocol.h"
#include "tests/drivers/DriverTestSupport.h"

namespace keycard::drivers::testing {
namespace {

struct Outcome {
  std::int32_t result = 0;
  std::string stderrText;
};

// Runs `call` in a child process: what it returned (a small code, passed as the exit status) and
// what it wrote on stderr.
Outcome inChildProcess(const std::function<std::int32_t()>& call) {
  int stderrPipe[2];
  if (::pipe(stderrPipe) != 0) return {-1000, "no pipe"};
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(stderrPipe[1], STDERR_FILENO);
    ::_exit(static_cast<std::uint8_t>(call()));
  }
  ::close(stderrPipe[1]);
  Outcome outcome;
  char chunk[256];
  for (ssize_t got; (got = ::read(stderrPipe[0], chunk, sizeof chunk)) > 0;) {
    outcome.stderrText.append(chunk, static_cast<std::size_t>(got));
  }
  ::close(stderrPipe[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  outcome.result = WIFEXITED(status) ? static_cast<std::int8_t>(WEXITSTATUS(status)) : -1000;
  return outcome;
}

Outcome inThisProcess(const std::function<std::int32_t()>& call) {
  ::testing::internal::CaptureStderr();
  const std::int32_t result = call();
  return {result, ::testing::internal::GetCapturedStderr()};
}

TEST(OnePortOneProgram, WhileTheProximityDriverHoldsCom1NobodyElseGetsIt) {
  const Bench bench("proximity", "em4469");
  ASSERT_EQ(MF_InitComm("COM1", 9600), 0);
  const std::string port = (bench.folder / "COM1").string();
  const struct {
    const char* who;
    Outcome (*where)(const std::function<std::int32_t()>&);
    std::function<std::int32_t()> call;
    std::int32_t expected;
    std::string said;  // the whole of stderr
  } rows[] = {
      {"the Mifare driver in this process", inThisProcess, kMifare.open, link::kErrPort,
       "auto_open: cannot open " + port + ": the port is in use by another program\n"},
      {"the proximity driver in another process", inChildProcess,
       [] { return MF_InitComm("COM1", 9600); }, link::kErrPort,
       "MF_InitComm: cannot open " + port + ": the port is in use by another program\n"},
      {"a child process using the port it inherited", inChildProcess,
       [] { return ML_GetDevice_Ver(0, nullptr); }, link::kErrNotOpen,
       "ML_GetDevice_Ver: no port is open (call MF_InitComm first)\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.who);
    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = row.where(row.call);
    // Refused before any exchange, so well before a reply could time out.
    EXPECT_LT(std::chrono::steady_clock::now() - start, link::kReplyTimeout);
    EXPECT_EQ(outcome.result, row.expected);
    EXPECT_EQ(outcome.stderrText, row.said);
  }
  EXPECT_EQ(ML_GetDevice_Ver(0, nullptr), 0) << "the holder keeps its port";
  EXPECT_EQ(MF_ExitComm(), 0);
  const std::int32_t handle = kMifare.open();
  EXPECT_GT(handle, 0) << "a closed port is free again";
  kMifare.close(handle);
}

}  // namespace
}  // namespace keycard::drivers::testing
