#include "bench/bench_summary.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "bench/bench_cases.hpp"
#include "bench/bench_inputs.hpp"

namespace vaskor_bench {
namespace {

struct Figure {
  double rate = 0;  // values per second (median over repetitions)
  double cv = -1;   // coefficient of variation of the rate, when repeated
};
std::map<std::string, Figure> gFigures;

double rateOf(const std::string& name) {
  auto it = gFigures.find(name);
  return it == gFigures.end() ? 0.0 : it->second.rate;
}

// Three significant digits, in millions of values per second.
std::string mvps(double rate) {
  if (rate <= 0) return "n/a";
  const double m = rate / 1e6;
  char buf[32];
  if (m >= 100) std::snprintf(buf, sizeof buf, "%.0f", m);
  else if (m >= 10) std::snprintf(buf, sizeof buf, "%.1f", m);
  else if (m >= 1) std::snprintf(buf, sizeof buf, "%.2f", m);
  else std::snprintf(buf, sizeof buf, "%.3g", m);
  return buf;
}

std::string fmt(const char* f, double x) {
  if (!(x > 0) || !std::isfinite(x)) return "n/a";
  char buf[32];
  std::snprintf(buf, sizeof buf, f, x);
  return buf;
}

bool has(const std::vector<int>& v, int w) { return std::find(v.begin(), v.end(), w) != v.end(); }

std::string joined(const std::vector<std::string>& v) {
  std::string s;
  for (const auto& x : v) s += (s.empty() ? "" : ", ") + x;
  return s;
}

}  // namespace

void Collector::ReportRuns(const std::vector<Run>& runs) {
  std::vector<Run> shown;
  for (const Run& r : runs) {
    const std::string name = r.run_name.function_name;
    if (r.error_occurred) {
      shown.push_back(r);
      continue;
    }
    auto it = r.counters.find("items_per_second");
    const double v = it == r.counters.end() ? 0.0 : static_cast<double>(it->second);
    if (r.run_type == Run::RT_Iteration && r.repetitions <= 1) {
      gFigures[name].rate = v;
      shown.push_back(r);
    } else if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") {
      gFigures[name].rate = v;
      shown.push_back(r);
    } else if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "cv") {
      gFigures[name].cv = v;
    }
  }
  if (!shown.empty()) ConsoleReporter::ReportRuns(shown);
}

std::string Table::markdown() const {
  std::ostringstream o;
  auto line = [&](const std::vector<std::string>& cells) {
    o << "|";
    for (const auto& c : cells) o << " " << c << " |";
    o << "\n";
  };
  line(head);
  o << "|";
  for (size_t i = 0; i < head.size(); ++i) o << (i == 0 ? " --- |" : " ---: |");
  o << "\n";
  for (const auto& r : rows) line(r);
  return o.str();
}

std::string Table::text() const {
  std::vector<size_t> wd(head.size());
  for (size_t i = 0; i < head.size(); ++i) wd[i] = head[i].size();
  for (const auto& r : rows)
    for (size_t i = 0; i < r.size(); ++i) wd[i] = std::max(wd[i], r[i].size());
  std::ostringstream o;
  auto line = [&](const std::vector<std::string>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) {
      o << (i ? "  " : "");
      if (i == 0) o << cells[i] << std::string(wd[i] - cells[i].size(), ' ');
      else o << std::string(wd[i] - cells[i].size(), ' ') << cells[i];
    }
    o << "\n";
  };
  line(head);
  for (const auto& r : rows) line(r);
  return o.str();
}

std::string loadAvg() {
  std::ifstream f("/proc/loadavg");
  std::string a, b, c;
  f >> a >> b >> c;
  return a + " " + b + " " + c;
}

std::string cpuModel() {
  std::ifstream f("/proc/cpuinfo");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  return "unknown";
}

std::string bigLabelOf(size_t big) {
  return big == kOutOfCache ? "16Mi" : std::to_string(big >> 20) + "Mi";
}

// In cache: the fast rate of each width against the model's.
Table inCacheTable(const char* fmtName, const std::vector<int>& encW, const std::vector<int>& decW,
                   double floor, double narrowFloor, int narrowUpTo, const std::string& prefix,
                   const std::string& rowName, Verdicts& vd, const char* unit) {
  Table t;
  t.head = {std::string("width (") + unit + ")", "encode", "model encode", "speed-up",
            "decode", "model decode", "speed-up"};
  double minIn = 1e300, minUp = 1e300;
  std::string minInAt, minUpAt;
  std::vector<std::string> slow, slowNarrow, lowUp;
  double minNarrow = 1e300;
  std::string minNarrowAt;
  for (int w : decW) {
    std::vector<std::string> row{std::to_string(w)};
    for (const char* op : {"encode", "decode"}) {
      if (std::strcmp(op, "encode") == 0 && !has(encW, w)) {
        row.insert(row.end(), {"—", "", ""});
        continue;
      }
      const std::string base = std::string(fmtName) + "_" + op;
      const double in = rateOf(benchName(prefix.c_str(), base.c_str(), w, kInCache));
      const double ref = rateOf(benchName("ref/", base.c_str(), w, kInCache));
      const double up = ref > 0 && in > 0 ? in / ref : 0;
      row.push_back(mvps(in));
      row.push_back(mvps(ref));
      row.push_back(fmt("%.0f×", up));
      const std::string at = std::string(op) + " w=" + std::to_string(w);
      if (in > 0) {
        if (in < minIn) { minIn = in; minInAt = at; }
        if (in < floor) slow.push_back(at);
        if (w <= narrowUpTo) {
          if (in < minNarrow) { minNarrow = in; minNarrowAt = at; }
          if (in < narrowFloor) slowNarrow.push_back(at);
        }
      }
      if (up > 0) {
        if (up < minUp) { minUp = up; minUpAt = at; }
        if (up < 100) lowUp.push_back(at + " " + fmt("%.0f×", up));
      }
    }
    t.rows.push_back(row);
  }
  const std::string kindName = std::strcmp(fmtName, "bpe") == 0 ? "bit-packed" : "whole-byte";
  const bool haveIn = minIn < 1e299, haveUp = minUp < 1e299;
  const std::string kind = kindName + ", " + rowName + " row,";
  if (narrowUpTo > 0 && minNarrow < 1e299)
    vd.add(kind + " in cache ≥ " + fmt("%.0e", narrowFloor) + " values/s at widths up to " + std::to_string(narrowUpTo),
           "slowest " + mvps(minNarrow) + " M/s (" + minNarrowAt + ")" +
               (slowNarrow.empty() ? "" : "; below: " + joined(slowNarrow)),
           slowNarrow.empty());
  vd.add(kind + " in cache ≥ " + fmt("%.0e", floor) + " values/s at every width",
         "slowest " + (haveIn ? mvps(minIn) : "n/a") + " M/s (" + minInAt + ")" +
             (slow.empty() ? "" : "; below: " + joined(slow)),
         haveIn && slow.empty());
  vd.add(kind + " ≥ 100× the text-based model at every width (64Ki)",
         "smallest " + (haveUp ? fmt("%.0f×", minUp) : "n/a") + " (" + minUpAt + ")" +
             (lowUp.empty() ? "" : "; below 100×: " + joined(lowUp)),
         haveUp && lowUp.empty());
  return t;
}

// Out of cache: the large run's rate against the in-cache one, with fresh
// memory per call (the allocator's default for blocks this size) and with
// the heap kept between calls.
Table outOfCacheTable(const char* fmtName, const std::vector<int>& encW, const std::vector<int>& decW,
                      size_t big, Verdicts& vd, const char* unit) {
  Table t;
  const std::string bl = bigLabelOf(big);
  t.head = {std::string("width (") + unit + ")", "encode " + bl, "cost ×", "kept heap", "cost ×",
            "decode " + bl, "cost ×", "kept heap", "cost ×"};
  double worst = 0, worstKept = 0;
  std::string worstAt, worstKeptAt;
  for (int w : decW) {
    std::vector<std::string> row{std::to_string(w)};
    for (const char* op : {"encode", "decode"}) {
      if (std::strcmp(op, "encode") == 0 && !has(encW, w)) {
        row.insert(row.end(), {"—", "", "", ""});
        continue;
      }
      const std::string base = std::string(fmtName) + "_" + op;
      const double in = rateOf(benchName("", base.c_str(), w, kInCache));
      const double out = rateOf(benchName("", base.c_str(), w, big));
      const double kept = rateOf(benchName("kept/", base.c_str(), w, big));
      const double c = in > 0 && out > 0 ? in / out : 0;
      const double ck = in > 0 && kept > 0 ? in / kept : 0;
      row.push_back(mvps(out));
      row.push_back(fmt("%.2f", c));
      row.push_back(mvps(kept));
      row.push_back(fmt("%.2f", ck));
      const std::string at = std::string(op) + " w=" + std::to_string(w);
      if (c > worst) { worst = c; worstAt = at; }
      if (ck > worstKept) { worstKept = ck; worstKeptAt = at; }
    }
    t.rows.push_back(row);
  }
  const std::string kind = std::strcmp(fmtName, "bpe") == 0 ? "bit-packed" : "whole-byte";
  vd.add(kind + " out of cache within 2× of in cache",
         "worst " + bl + "/64Ki cost " + fmt("%.2f", worst) + "× (" + worstAt + "); with the heap kept " +
             fmt("%.2f", worstKept) + "× (" + worstKeptAt + ")",
         worst > 0 && worst <= 2.0);
  return t;
}

Table sweepTable(bool quick, Verdicts& vd) {
  Table t;
  t.head = {"series (ns/value)"};
  std::vector<size_t> ns;
  for (size_t n : kSweepN)
    if (!(quick && n > 1000000)) ns.push_back(n);
  for (size_t n : ns) t.head.push_back("N=" + fmt("%.0e", static_cast<double>(n)));
  t.head.push_back("max/min");
  const size_t last = ns.back();
  t.head.push_back("N=" + fmt("%.0e", static_cast<double>(last)) + " kept heap");
  t.head.push_back("max/min kept");
  double worst = 0, worstKept = 0;
  std::string worstAt, worstKeptAt;
  auto series = [&](const char* op, int w) {
    std::vector<std::string> row{std::string(op) + " w=" + std::to_string(w)};
    double lo = 1e300, hi = 0;
    for (size_t n : ns) {
      const double r = rateOf(benchName("sweep/", op, w, n));
      const double v = r > 0 ? 1e9 / r : 0;
      row.push_back(fmt("%.3f", v));
      if (v > 0) { lo = std::min(lo, v); hi = std::max(hi, v); }
    }
    const double ratio = hi > 0 ? hi / lo : 0;
    row.push_back(fmt("%.2f", ratio));
    // The same with the largest N measured on a kept heap.
    const double rk = rateOf(benchName("kept/sweep/", op, w, last));
    const double vk = rk > 0 ? 1e9 / rk : 0;
    double loK = 1e300, hiK = 0;
    for (size_t n : ns) {
      const double r = n == last ? rk : rateOf(benchName("sweep/", op, w, n));
      const double v = r > 0 ? 1e9 / r : 0;
      if (v > 0) { loK = std::min(loK, v); hiK = std::max(hiK, v); }
    }
    const double ratioK = hiK > 0 ? hiK / loK : 0;
    row.push_back(fmt("%.3f", vk));
    row.push_back(fmt("%.2f", ratioK));
    if (ratio > worst) { worst = ratio; worstAt = row[0]; }
    if (ratioK > worstKept) { worstKept = ratioK; worstKeptAt = row[0]; }
    t.rows.push_back(row);
  };
  for (int w : kSweepBitWidths) { series("bpe_encode", w); series("bpe_decode", w); }
  for (int w : kSweepByteWidths) { series("ne_encode", w); series("ne_decode", w); }
  vd.add("cost per value flat from 10^3 to 10^7 values (taken as max/min ≤ 2)",
         "worst max/min " + fmt("%.2f", worst) + " (" + worstAt + "); with the heap kept at the largest N " +
             fmt("%.2f", worstKept) + " (" + worstKeptAt + ")",
         worst > 0 && worst <= 2.0);
  return t;
}

Table floorTable() {
  Table t;
  t.head = {"bytes per value", "M values/s", "bounds"};
  const char* what[] = {"", "whole-byte encode n=1; bit-packed encode w=8", "whole-byte encode n=2; bit-packed encode w=16",
                        "", "whole-byte encode n=4; bit-packed encode w=32", "", "", "",
                        "every decode; whole-byte encode n=8; bit-packed encode w=64"};
  for (size_t b : {size_t{1}, size_t{2}, size_t{4}, size_t{8}})
    t.rows.push_back({std::to_string(b), mvps(rateOf(floorName(b))), what[b]});
  return t;
}

}  // namespace vaskor_bench
