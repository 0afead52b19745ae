// The window from a cold start to its first paint, offscreen, as the operator meets it: a fresh
// process each time, timed from its start to the moment it reports the first paint, with the
// process's peak resident memory. An empty Qt window of the same size is started in turn with it,
// so that both meet the same machine, and the window is held to a ratio of it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/BenchTable.h"

namespace keycard::bench {
namespace {

constexpr double kStartGoalMilliseconds = 100;
constexpr double kMemoryGoalMegabytes = 40;
constexpr double kBareWindowGoalRatio = 1.1;

struct ColdStart {
  double milliseconds = 0;
  double peakMegabytes = 0;
};

ColdStart startOnce(const char* path, const char* argument = nullptr) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
  // Qt's notices about the offscreen platform would drown the progress; a child that fails
  // shows in its exit status.
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::string programText = path;
  char* program = programText.data();
  std::string argumentText = argument != nullptr ? argument : "";
  char* argv[] = {program, argument != nullptr ? argumentText.data() : nullptr, nullptr};

  const auto start = std::chrono::steady_clock::now();
  pid_t child = -1;
  const int spawned = ::posix_spawn(&child, program, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (spawned != 0) {
    ::close(pipeFds[0]);
    throw std::runtime_error(std::string("cannot start ") + program + ": " +
                             std::strerror(spawned));
  }
  std::string said;
  char buffer[64];
  while (said.find('\n') == std::string::npos) {
    const ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer);
    if (got > 0) {
      said.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      break;
    }
  }
  const auto painted = std::chrono::steady_clock::now();
  ::close(pipeFds[0]);

  int status = 0;
  rusage usage{};
  ::wait4(child, &status, 0, &usage);
  if (said != "painted\n") {
    throw std::runtime_error(std::string(program) + " ended without painting (status " +
                             std::to_string(status) + ")");
  }
  return {std::chrono::duration<double, std::milli>(painted - start).count(),
          static_cast<double>(usage.ru_maxrss) / 1024.0};  // ru_maxrss is in KiB
}

struct ColdStarts {
  std::vector<double> milliseconds;
  std::vector<double> megabytes;

  void add(const ColdStart& run) {
    milliseconds.push_back(run.milliseconds);
    megabytes.push_back(run.peakMegabytes);
  }
};

std::string ratioText(double window, double bare, const char* unit) {
  return formatNumber(window / bare * 100) + " % (" + formatNumber(window) + " against " +
         formatNumber(bare) + " " + unit + ")";
}

void coldStartToFirstPaint(benchmark::State& state) {
  ColdStarts window;
  ColdStarts bare;
  ColdStarts labelled;
  for (auto _ : state) {
    try {
      window.add(startOnce(KEYCARD_FIRST_PAINT_PATH));
      bare.add(startOnce(KEYCARD_BARE_WINDOW_PATH));
      labelled.add(startOnce(KEYCARD_BARE_WINDOW_PATH, "--label"));
    } catch (const std::exception& error) {
      state.SkipWithError(error.what());
      return;
    }
  }
  const Percentiles time = percentiles(window.milliseconds);
  const Percentiles memory = percentiles(window.megabytes);
  const double bareTime = percentiles(bare.milliseconds).median;
  const double bareMemory = percentiles(bare.megabytes).median;
  state.counters["median_ms"] = time.median;
  state.counters["bare_ms"] = bareTime;
  state.counters["peak_MB"] = memory.p99;
  addRow({"Window cold start to first paint (offscreen, median)",
          formatNumber(time.median) + " ms (p99 " + formatNumber(time.p99) + " ms)", "< 100 ms",
          time.median < kStartGoalMilliseconds});
  addRow({"Window cold start, peak resident memory (highest of the runs)",
          formatNumber(memory.p99) + " MB", "< 40 MB", memory.p99 < kMemoryGoalMegabytes});
  addRow({"Window cold start to first paint / an empty Qt window's (medians, taken in turns)",
          ratioText(time.median, bareTime, "ms"), "≤ 110 %",
          time.median <= kBareWindowGoalRatio * bareTime});
  addRow({"Window cold start, peak resident memory / an empty Qt window's (medians)",
          ratioText(memory.median, bareMemory, "MB"), "≤ 110 %",
          memory.median <= kBareWindowGoalRatio * bareMemory});
  // What one caption costs any Qt window, for scale: no goal of ours.
  const double labelledTime = percentiles(labelled.milliseconds).median;
  const double labelledMemory = percentiles(labelled.megabytes).median;
  addRow(
      {"An empty Qt window with one caption / the empty window (medians: time, memory)",
       ratioText(labelledTime, bareTime, "ms") + "; " + ratioText(labelledMemory, bareMemory, "MB"),
       "", true});
  addRow({"The window / the empty Qt window with one caption (medians: time, memory)",
          ratioText(time.median, labelledTime, "ms") + "; " +
              ratioText(memory.median, labelledMemory, "MB"),
          "", true});
}

BENCHMARK(coldStartToFirstPaint)->Iterations(40)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace keycard::bench
