#include "FaultTable.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>

namespace keycard::testing {

namespace fs = std::filesystem;

namespace {

void writeWhole(const fs::path& file, const std::string& text) {
  const fs::path temporary = file.string() + "." + std::to_string(::getpid()) + ".tmp";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + temporary.string());
  }
  fs::rename(temporary, file);
}

std::string markdownRow(const FaultRow& row) {
  const std::string caption = row.caption.empty() ? "(none)" : "`" + row.caption + "`";
  char milliseconds[32];
  std::snprintf(milliseconds, sizeof milliseconds, "%.2f", row.milliseconds);
  return "| " + row.fault + " | " + row.operation + " | " + caption + " | " + milliseconds + " | " +
         row.cardAfter + " |\n";
}

}  // namespace

void recordFaultRow(const fs::path& table, const FaultRow& row) {
  const fs::path rows = table.string() + ".rows";
  fs::create_directories(rows);
  char name[16];
  std::snprintf(name, sizeof name, "%03d.md", row.order);
  writeWhole(rows / name, markdownRow(row));

  std::set<fs::path> names;  // sorted, so the table keeps its order whatever ran first
  for (const auto& entry : fs::directory_iterator(rows)) {
    if (entry.path().extension() == ".md") names.insert(entry.path());
  }
  std::string text =
      "| Fault | Operation | Caption | Time ms | Card after |\n|---|---|---|---:|---|\n";
  for (const auto& file : names) {
    std::ifstream in(file);
    text.append(std::istreambuf_iterator<char>(in), {});
  }
  writeWhole(table, text);
}

}  // namespace keycard::testing
