// The table of what each reader fault looks like to the operator, kept as markdown for the README.
#pragma once

#include <filesystem>
#include <string>

namespace keycard::testing {

struct FaultRow {
  int order = 0;  // the row's place in the table
  std::string fault;
  std::string operation;
  std::string caption;  // the status line after the click; empty when the click showed nothing
  double milliseconds = 0;
  std::string cardAfter;
};

// Puts `row` into the table at `table`. ctest may run every case in its own process, even side by
// side, so each row is kept in a file of its own in `table`.rows/ and the table is rebuilt from all
// of them and swapped in whole.
void recordFaultRow(const std::filesystem::path& table, const FaultRow& row);

}  // namespace keycard::testing
