#include "bench/BenchTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace keycard::bench {

namespace {

std::vector<TableRow>& rows() {
  static std::vector<TableRow> table;
  return table;
}

}  // namespace

Percentiles percentiles(std::vector<double> samples) {
  if (samples.empty()) return {};
  std::sort(samples.begin(), samples.end());
  const auto rank = [&](double fraction) {
    const auto index =
        static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(samples.size())));
    return samples[std::clamp<std::size_t>(index, 1, samples.size()) - 1];
  };
  return {rank(0.5), rank(0.99)};
}

void addRow(TableRow row) {
  rows().push_back(std::move(row));
}

void printTable(std::ostream& out) {
  out << "| Measurement | Value | Goal | Met |\n|---|---|---|---|\n";
  for (const TableRow& row : rows()) {
    out << "| " << row.measurement << " | " << row.value << " | " << row.goal << " | "
        << (row.goal.empty() ? ""
            : row.met        ? "yes"
                             : "**no**")
        << " |\n";
  }
}

std::string formatNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, value < 100 ? "%.1f" : "%.0f", value);
  return text;
}

std::string formatMicroseconds(double microseconds) {
  return microseconds < 1000 ? formatNumber(microseconds) + " µs"
                             : formatNumber(microseconds / 1000) + " ms";
}

}  // namespace keycard::bench
