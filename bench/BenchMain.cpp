// keycard-bench: runs every benchmark, then prints the results as one markdown table.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "bench/BenchTable.h"

int main(int argc, char* argv[]) {
  // The window is shown nowhere; the cold-start child inherits this too.
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Card files on a memory file system: the emulator saves the card file anew after every block
  // write, file-system work that stands in for the card's own write time and is not our code's.
  struct stat shm {};
  if (std::getenv("TMPDIR") == nullptr && ::stat("/dev/shm", &shm) == 0 && S_ISDIR(shm.st_mode)) {
    ::setenv("TMPDIR", "/dev/shm", 0);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // Progress on stderr, so stdout carries the table alone.
  benchmark::ConsoleReporter progress(::isatty(STDERR_FILENO) != 0
                                          ? benchmark::ConsoleReporter::OO_ColorTabular
                                          : benchmark::ConsoleReporter::OO_Tabular);
  progress.SetOutputStream(&std::cerr);
  progress.SetErrorStream(&std::cerr);
  benchmark::RunSpecifiedBenchmarks(&progress);
  benchmark::Shutdown();
  keycard::bench::printTable(std::cout);
  return 0;
}
