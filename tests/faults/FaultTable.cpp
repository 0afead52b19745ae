#include "tests/faults/FaultTable.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace keycard::testing {

namespace fs = std::filesystem;

namespace {

void writeWhole(const fs::path& file, const std::string& text) {
  const fs::path temporary = file.string() + "." + std::to_string(::getpid()) + ".tmp";
  if (!(std::ofstream(temporary) << text)) {
    throw std::runtime_error("cannot write " + temporary.string());
  }
  fs::rename(temporary, file);
}

}  // namespace

void recordFaultRow(const fs::path& table, int order, const std::vector<std::string>& cells) {
  const fs::path rows = table.string() + ".rows";
  fs::create_directories(rows);
  std::string row = "|";
  for (const std::string& cell : cells) row += " " + cell + " |";
  char name[16];
  std::snprintf(name, sizeof name, "%03d.md", order);
  writeWhole(rows / name, row + "\n");

  std::set<fs::path> names;  // sorted, so the table keeps its order whatever ran first
  for (const auto& entry : fs::directory_iterator(rows)) {
    if (entry.path().extension() == ".md") names.insert(entry.path());  // not another's .tmp
  }
  std::ostringstream text;
  text << "| Fault | Operation | Caption | Time ms | Card after |\n|---|---|---|---:|---|\n";
  for (const fs::path& file : names) text << std::ifstream(file).rdbuf();
  writeWhole(table, text.str());
}

}  // namespace keycard::testing
