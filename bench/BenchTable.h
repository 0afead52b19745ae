// The one table every benchmark adds its result to, printed as markdown at the end of the run.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace keycard::bench {

struct Percentiles {
  double median = 0;
  double p99 = 0;
};

// Nearest-rank percentiles; `samples` need not be sorted. Both zero when there are none.
Percentiles percentiles(std::vector<double> samples);

struct TableRow {
  std::string measurement;
  std::string value;
  std::string goal;  // empty for a row that is there for scale
  bool met = false;
};

void addRow(TableRow row);
void printTable(std::ostream& out);

// "12.3" style: one decimal below 100, none above.
std::string formatNumber(double value);
// "850 µs" or "12.3 ms".
std::string formatMicroseconds(double microseconds);

}  // namespace keycard::bench
