// The columns bench/pybench/columns.py writes (`python3 -m pybench.columns
// --out DIR`, from bench/): each column is defined there once, for the
// Python and the C++ benchmarks alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vaskor_bench {

struct Column {
  std::string name;
  bool oneWidth = false;  // one bit width already suits every value
  bool range = false;     // the long column of the range-decode rows
  std::vector<int64_t> values;
};

// Every column listed in DIR/columns.tsv, read from its raw little-endian
// int64 file; dies naming the file on anything amiss.
std::vector<Column> readColumns(const std::string& dir);

}  // namespace vaskor_bench
