// The table of what each reader fault looks like to the operator, kept as markdown for the README.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace keycard::testing {

// Puts the row of `cells` (fault, operation, caption, time ms, card after) at place `order` of the
// table at `table`. ctest may run every case in its own process, even side by side, so each row is
// kept in a file of its own in `table`.rows/ and the table is rebuilt from all of them and swapped
// in whole.
void recordFaultRow(const std::filesystem::path& table, int order,
                    const std::vector<std::string>& cells);

}  // namespace keycard::testing
