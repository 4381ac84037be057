// Collecting the native results and summing them up: the console reporter
// that keeps each median rate, and the tables and target verdicts built
// from those rates, as text or Markdown.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <string>
#include <vector>

namespace vaskor_bench {

// Shows one line per benchmark (the median, or the single run) and keeps the
// rate of each for the summary.
class Collector : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;
};

struct Table {
  std::vector<std::string> head;
  std::vector<std::vector<std::string>> rows;

  std::string markdown() const;
  std::string text() const;
};

struct Verdicts {
  std::vector<std::string> lines;
  void add(const std::string& target, const std::string& measured, bool met) {
    lines.push_back("- " + target + ": " + measured + " — " + (met ? "met" : "MISSED"));
  }
};

std::string loadAvg();
std::string cpuModel();
std::string bigLabelOf(size_t big);

// One kernel row's in-cache rates (benchmark names start with `prefix`)
// against the model's; the verdicts want `floor` values/s at every width and
// `narrowFloor` at widths up to `narrowUpTo`.
Table inCacheTable(const char* fmtName, const std::vector<int>& encW, const std::vector<int>& decW,
                   double floor, double narrowFloor, int narrowUpTo, const std::string& prefix,
                   const std::string& rowName, Verdicts& vd, const char* unit);
Table outOfCacheTable(const char* fmtName, const std::vector<int>& encW, const std::vector<int>& decW,
                      size_t big, Verdicts& vd, const char* unit);
Table sweepTable(bool quick, Verdicts& vd);
// The rate at which a result vector of 64Ki values can merely be made.
Table floorTable();

}  // namespace vaskor_bench
