#include "bench/bench_columns.hpp"

#include <bit>
#include <fstream>
#include <sstream>

#include "bench/bench_inputs.hpp"

namespace vaskor_bench {

namespace {

std::vector<std::string> split(const std::string& line, char sep) {
  std::vector<std::string> out;
  std::stringstream s(line);
  for (std::string part; std::getline(s, part, sep);) out.push_back(part);
  return out;
}

}  // namespace

std::vector<Column> readColumns(const std::string& dir) {
  static_assert(std::endian::native == std::endian::little, "the column files are little-endian");
  std::ifstream index(dir + "/columns.tsv");
  if (!index) die("no " + dir + "/columns.tsv: run `python3 -m pybench.columns --out " + dir + "` in bench/");
  std::vector<Column> out;
  for (std::string line; std::getline(index, line);) {
    // file, length, flags, name, source
    const std::vector<std::string> f = split(line, '\t');
    if (f.size() != 5) die(dir + "/columns.tsv: not five fields: " + line);
    Column c;
    c.name = f[3];
    for (const std::string& flag : split(f[2], ',')) {
      c.oneWidth |= flag == "one_width";
      c.range |= flag == "range";
    }
    c.values.resize(std::stoull(f[1]));
    std::ifstream data(dir + "/" + f[0], std::ios::binary);
    const auto bytes = static_cast<std::streamsize>(c.values.size() * sizeof(int64_t));
    if (!data.read(reinterpret_cast<char*>(c.values.data()), bytes) || data.peek() != EOF)
      die(dir + "/" + f[0] + " does not hold " + f[1] + " int64 values");
    out.push_back(std::move(c));
  }
  if (out.empty()) die(dir + "/columns.tsv lists no column");
  return out;
}

}  // namespace vaskor_bench
