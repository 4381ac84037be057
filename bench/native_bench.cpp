// Native throughput of both codecs, in values per second, side by side with
// the slow text-based model (one character per bit) on the same inputs.
//
//   native_bench [--reps=N] [--md=path] [--quick] [google benchmark flags]
//
// Every benchmark runs --reps times (default 3); the summary uses the median.
// After the run a summary prints the fast/model speed-ups, the 16 Mi / 64 Ki
// cost ratio and the flatness of the cost per value over N = 10^3 .. 10^7,
// and --md writes the same tables as Markdown. Figures only: nothing here
// passes or fails on time.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <climits>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "tests/reference/reference_model.hpp"
#include "vaskor/bpe.hpp"
#include "vaskor/ne.hpp"
#include "vaskor/utils.hpp"

namespace {

using Values = std::vector<int64_t>;
using Bytes = std::vector<uint8_t>;

constexpr size_t kInCache = size_t{64} * 1024;
constexpr size_t kOutOfCache = size_t{16} * 1024 * 1024;
constexpr int kBitWidths[] = {2, 3, 7, 8, 13, 31, 32, 48, 57, 63, 64, 65};
constexpr int kBitDecodeOnlyWidth = 72;
constexpr int kByteWidths[] = {1, 2, 3, 4, 5, 6, 7, 8};
constexpr size_t kSweepN[] = {1000, 10000, 100000, 1000000, 10000000};
constexpr int kSweepBitWidths[] = {13, 57};
constexpr int kSweepByteWidths[] = {3, 8};

int gReps = 3;
double gMinTime = 0.2;
double gRefMinTime = 0.1;

[[noreturn]] void die(const std::string& what) {
  std::fprintf(stderr, "native_bench: %s\n", what.c_str());
  std::exit(2);
}

// splitmix64: fixed seeds, so every run packs the same data.
struct Rng {
  uint64_t s;
  uint64_t next() {
    uint64_t z = (s += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
};

// The largest value that the bit-packed encoder gives width w (2..65).
// Above 2^48 the width rule counts one digit too many just below each power
// of two, so the limit stays 65537 below it; 65 is reached from 2^63 - 64000.
int64_t bpeLimit(int w) {
  const int b = w - 1;  // digit count the largest value must have
  if (b >= 64) return INT64_MAX;
  if (b <= 47) return (int64_t{1} << b) - 1;
  return (int64_t{1} << b) - 65537;
}

// The largest value that the whole-byte encoder gives n bytes (1..8).
int64_t neLimit(int n) {
  switch (n) {
    case 6: return (int64_t{1} << 48) - 2;
    case 7: return (int64_t{1} << 56) - 412;
    case 8: return INT64_MAX;
    default: return (int64_t{1} << (8 * n)) - 1;
  }
}

// n values uniform in [0, lim], with lim itself in the middle so that the
// largest value, and hence the width, is exactly the one wanted.
Values makeValues(int64_t lim, size_t n, uint64_t seed) {
  Values v(n);
  Rng r{seed};
  const uint64_t span = static_cast<uint64_t>(lim) + 1;  // lim < 2^63
  for (auto& x : v) x = static_cast<int64_t>(r.next() % span);
  if (n > 0) v[n / 2] = lim;
  return v;
}

Bytes makeBytes(size_t n, uint64_t seed) {
  Bytes b(n);
  Rng r{seed};
  for (auto& x : b) x = static_cast<uint8_t>(r.next() >> 56);
  return b;
}

// Inputs are made once and kept; at most one large set lives at a time.
struct Cache {
  std::map<std::tuple<char, int, size_t>, std::shared_ptr<void>> small;
  std::tuple<char, int, size_t> bigKey{0, 0, 0};
  std::shared_ptr<void> big;

  template <class T, class Make>
  const T& get(char kind, int w, size_t n, Make make) {
    const auto key = std::make_tuple(kind, w, n);
    if (n <= (size_t{1} << 20)) {
      auto& slot = small[key];
      if (!slot) slot = std::make_shared<T>(make());
      return *static_cast<const T*>(slot.get());
    }
    if (!big || bigKey != key) {
      big.reset();  // free the previous large set before making the next
      big = std::make_shared<T>(make());
      bigKey = key;
    }
    return *static_cast<const T*>(big.get());
  }
};
Cache gCache;

const Values& bpeValues(int w, size_t n) {
  return gCache.get<Values>('b', w, n, [&] {
    const int64_t lim = bpeLimit(w);
    if (vaskor::binLen(lim) + 1 != w) die("bit-packed input limit has the wrong width");
    return makeValues(lim, n, 1000 + static_cast<uint64_t>(w));
  });
}

const Bytes& bpePacked(int w, size_t n) {
  return gCache.get<Bytes>('B', w, n, [&] {
    if (w == kBitDecodeOnlyWidth) return makeBytes(n * static_cast<size_t>(w) / 8, 72);
    // Encode a private copy: the cache keeps one large set at a time.
    const int64_t lim = bpeLimit(w);
    const Values v = makeValues(lim, n, 1000 + static_cast<uint64_t>(w));
    int64_t lo = 0;
    Bytes b = vaskor::bpe::encode(v, lo);
    if (lo != w) die("bit-packed encoder chose width " + std::to_string(lo) + ", wanted " + std::to_string(w));
    return b;
  });
}

const Values& neValues(int n, size_t count) {
  return gCache.get<Values>('n', n, count, [&] {
    const int64_t lim = neLimit(n);
    if (static_cast<int64_t>(std::ceil(static_cast<double>(vaskor::binLen(lim)) * 0.125)) != n)
      die("whole-byte input limit has the wrong width");
    return makeValues(lim, count, 2000 + static_cast<uint64_t>(n));
  });
}

const Bytes& nePacked(int n, size_t count) {
  return gCache.get<Bytes>('N', n, count, [&] {
    const Values v = makeValues(neLimit(n), count, 2000 + static_cast<uint64_t>(n));
    int64_t lo = 0;
    Bytes b = vaskor::ne::encode(v, lo);
    if (lo != n) die("whole-byte encoder chose width " + std::to_string(lo) + ", wanted " + std::to_string(n));
    return b;
  });
}

// ---- benchmark bodies ------------------------------------------------------

template <class Encode>
void encodeBody(benchmark::State& st, const Values& in, int64_t want, Encode enc) {
  int64_t lo = 0;
  size_t outBytes = 0;
  for (auto _ : st) {
    auto out = enc(in, lo);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
    outBytes = out.size();
  }
  if (lo != want) st.SkipWithError("unexpected width");
  st.SetItemsProcessed(st.iterations() * static_cast<int64_t>(in.size()));
  st.SetBytesProcessed(st.iterations() * static_cast<int64_t>(outBytes));
}

template <class Decode>
void decodeBody(benchmark::State& st, const Bytes& in, int64_t l, Decode dec) {
  size_t outValues = 0;
  for (auto _ : st) {
    auto out = dec(in, l);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
    outValues = out.size();
  }
  st.SetItemsProcessed(st.iterations() * static_cast<int64_t>(outValues));
  st.SetBytesProcessed(st.iterations() * static_cast<int64_t>(in.size()));
}

auto fastBpeEncode = [](const Values& v, int64_t& lo) { return vaskor::bpe::encode(v, lo); };
auto fastBpeDecode = [](const Bytes& b, int64_t l) { return vaskor::bpe::decode(b, l); };
auto fastNeEncode = [](const Values& v, int64_t& lo) { return vaskor::ne::encode(v, lo); };
auto fastNeDecode = [](const Bytes& b, int64_t l) { return vaskor::ne::decode(b, l); };
auto refBpeEncode = [](const Values& v, int64_t& lo) { return vaskor_ref::bpeEncode(v, lo); };
auto refBpeDecode = [](const Bytes& b, int64_t l) { return vaskor_ref::bpeDecode(b, l); };
auto refNeEncode = [](const Values& v, int64_t& lo) { return vaskor_ref::neEncode(v, lo); };
auto refNeDecode = [](const Bytes& b, int64_t l) { return vaskor_ref::neDecode(b, l); };

std::string benchName(const char* prefix, const char* op, int w, size_t n) {
  return std::string(prefix) + op + "/w:" + std::to_string(w) + "/n:" + std::to_string(n);
}

// glibc maps every block above 32 MiB afresh and unmaps it on free, so each
// large call faults in new pages. Here all blocks come from the heap, which
// keeps what is freed: later calls reuse pages that are already mapped.
void keepHeap() {
  static const bool once = [] {
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, INT_MAX);
    return true;
  }();
  (void)once;
}

void tune(benchmark::internal::Benchmark* b, double minTime) {
  b->Unit(benchmark::kMicrosecond)->MinTime(minTime)->Repetitions(gReps);
}

// Before timing anything, the fast codecs must give the model's results on
// the in-cache inputs; a benchmark of wrong output would be meaningless.
void crossCheck() {
  for (int w : kBitWidths) {
    const Values& v = bpeValues(w, kInCache);
    int64_t a = 0, b = 0;
    if (vaskor::bpe::encode(v, a) != vaskor_ref::bpeEncode(v, b) || a != b)
      die("bit-packed encode differs from the model at width " + std::to_string(w));
  }
  for (int w : kBitWidths) {
    const Bytes& p = bpePacked(w, kInCache);
    if (vaskor::bpe::decode(p, w) != vaskor_ref::bpeDecode(p, w))
      die("bit-packed decode differs from the model at width " + std::to_string(w));
  }
  {
    const Bytes& p = bpePacked(kBitDecodeOnlyWidth, kInCache);
    if (vaskor::bpe::decode(p, kBitDecodeOnlyWidth) != vaskor_ref::bpeDecode(p, kBitDecodeOnlyWidth))
      die("bit-packed decode differs from the model at width 72");
  }
  for (int n : kByteWidths) {
    const Values& v = neValues(n, kInCache);
    int64_t a = 0, b = 0;
    if (vaskor::ne::encode(v, a) != vaskor_ref::neEncode(v, b) || a != b)
      die("whole-byte encode differs from the model at width " + std::to_string(n));
    const Bytes& p = nePacked(n, kInCache);
    if (vaskor::ne::decode(p, n) != vaskor_ref::neDecode(p, n))
      die("whole-byte decode differs from the model at width " + std::to_string(n));
  }
}

void registerAll(bool quick) {
  const size_t big = quick ? size_t{1} << 20 : kOutOfCache;
  for (int w : kBitWidths) {
    for (size_t n : {kInCache, big})
      tune(benchmark::RegisterBenchmark(benchName("", "bpe_encode", w, n).c_str(),
                                        [w, n](benchmark::State& st) { encodeBody(st, bpeValues(w, n), w, fastBpeEncode); }),
           gMinTime);
    tune(benchmark::RegisterBenchmark(benchName("ref/", "bpe_encode", w, kInCache).c_str(),
                                      [w](benchmark::State& st) { encodeBody(st, bpeValues(w, kInCache), w, refBpeEncode); }),
         gRefMinTime);
  }
  std::vector<int> decodeWidths(std::begin(kBitWidths), std::end(kBitWidths));
  decodeWidths.push_back(kBitDecodeOnlyWidth);
  for (int w : decodeWidths) {
    for (size_t n : {kInCache, big})
      tune(benchmark::RegisterBenchmark(benchName("", "bpe_decode", w, n).c_str(),
                                        [w, n](benchmark::State& st) { decodeBody(st, bpePacked(w, n), w, fastBpeDecode); }),
           gMinTime);
    tune(benchmark::RegisterBenchmark(benchName("ref/", "bpe_decode", w, kInCache).c_str(),
                                      [w](benchmark::State& st) { decodeBody(st, bpePacked(w, kInCache), w, refBpeDecode); }),
         gRefMinTime);
  }
  for (int w : kByteWidths) {
    for (size_t n : {kInCache, big})
      tune(benchmark::RegisterBenchmark(benchName("", "ne_encode", w, n).c_str(),
                                        [w, n](benchmark::State& st) { encodeBody(st, neValues(w, n), w, fastNeEncode); }),
           gMinTime);
    tune(benchmark::RegisterBenchmark(benchName("ref/", "ne_encode", w, kInCache).c_str(),
                                      [w](benchmark::State& st) { encodeBody(st, neValues(w, kInCache), w, refNeEncode); }),
         gRefMinTime);
  }
  for (int w : kByteWidths) {
    for (size_t n : {kInCache, big})
      tune(benchmark::RegisterBenchmark(benchName("", "ne_decode", w, n).c_str(),
                                        [w, n](benchmark::State& st) { decodeBody(st, nePacked(w, n), w, fastNeDecode); }),
           gMinTime);
    tune(benchmark::RegisterBenchmark(benchName("ref/", "ne_decode", w, kInCache).c_str(),
                                      [w](benchmark::State& st) { decodeBody(st, nePacked(w, kInCache), w, refNeDecode); }),
         gRefMinTime);
  }
  // Cost per value against N, at a narrow and a wide width of each format.
  for (size_t n : kSweepN) {
    if (quick && n > 1000000) continue;
    for (int w : kSweepBitWidths) {
      tune(benchmark::RegisterBenchmark(benchName("sweep/", "bpe_encode", w, n).c_str(),
                                        [w, n](benchmark::State& st) { encodeBody(st, bpeValues(w, n), w, fastBpeEncode); }),
           gMinTime);
      tune(benchmark::RegisterBenchmark(benchName("sweep/", "bpe_decode", w, n).c_str(),
                                        [w, n](benchmark::State& st) { decodeBody(st, bpePacked(w, n), w, fastBpeDecode); }),
           gMinTime);
    }
    for (int w : kSweepByteWidths) {
      tune(benchmark::RegisterBenchmark(benchName("sweep/", "ne_encode", w, n).c_str(),
                                        [w, n](benchmark::State& st) { encodeBody(st, neValues(w, n), w, fastNeEncode); }),
           gMinTime);
      tune(benchmark::RegisterBenchmark(benchName("sweep/", "ne_decode", w, n).c_str(),
                                        [w, n](benchmark::State& st) { decodeBody(st, nePacked(w, n), w, fastNeDecode); }),
           gMinTime);
    }
  }

  // Last, since it changes the allocator for the rest of the process: the
  // large runs again with freed memory kept in the heap, so that a call gets
  // pages already mapped instead of fresh ones from the kernel.
  auto reg = [](const std::string& name, auto body) {
    tune(benchmark::RegisterBenchmark(name.c_str(),
                                      [body](benchmark::State& st) {
                                        keepHeap();
                                        body(st);
                                      }),
         gMinTime);
  };
  for (int w : kBitWidths)
    reg(benchName("kept/", "bpe_encode", w, big),
        [w, big](benchmark::State& st) { encodeBody(st, bpeValues(w, big), w, fastBpeEncode); });
  for (int w : decodeWidths)
    reg(benchName("kept/", "bpe_decode", w, big),
        [w, big](benchmark::State& st) { decodeBody(st, bpePacked(w, big), w, fastBpeDecode); });
  for (int w : kByteWidths) {
    reg(benchName("kept/", "ne_encode", w, big),
        [w, big](benchmark::State& st) { encodeBody(st, neValues(w, big), w, fastNeEncode); });
    reg(benchName("kept/", "ne_decode", w, big),
        [w, big](benchmark::State& st) { decodeBody(st, nePacked(w, big), w, fastNeDecode); });
  }
  const size_t lastN = quick ? 1000000 : kSweepN[std::size(kSweepN) - 1];
  for (int w : kSweepBitWidths) {
    reg(benchName("kept/sweep/", "bpe_encode", w, lastN),
        [w, lastN](benchmark::State& st) { encodeBody(st, bpeValues(w, lastN), w, fastBpeEncode); });
    reg(benchName("kept/sweep/", "bpe_decode", w, lastN),
        [w, lastN](benchmark::State& st) { decodeBody(st, bpePacked(w, lastN), w, fastBpeDecode); });
  }
  for (int w : kSweepByteWidths) {
    reg(benchName("kept/sweep/", "ne_encode", w, lastN),
        [w, lastN](benchmark::State& st) { encodeBody(st, neValues(w, lastN), w, fastNeEncode); });
    reg(benchName("kept/sweep/", "ne_decode", w, lastN),
        [w, lastN](benchmark::State& st) { decodeBody(st, nePacked(w, lastN), w, fastNeDecode); });
  }
}

// ---- collecting and summarising --------------------------------------------

struct Figure {
  double rate = 0;  // values per second (median over repetitions)
  double cv = -1;   // coefficient of variation of the rate, when repeated
};
std::map<std::string, Figure> gFigures;

// Shows one line per benchmark (the median, or the single run) and keeps the
// rate of each for the summary.
class Collector : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
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
};

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

struct Table {
  std::vector<std::string> head;
  std::vector<std::vector<std::string>> rows;

  std::string markdown() const {
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

  std::string text() const {
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
};

struct Verdicts {
  std::vector<std::string> lines;
  void add(const std::string& target, const std::string& measured, bool met) {
    lines.push_back("- " + target + ": " + measured + " — " + (met ? "met" : "MISSED"));
  }
};

std::string bigLabelOf(size_t big) {
  return big == kOutOfCache ? "16Mi" : std::to_string(big >> 20) + "Mi";
}

bool has(const std::vector<int>& v, int w) { return std::find(v.begin(), v.end(), w) != v.end(); }

std::string joined(const std::vector<std::string>& v) {
  std::string s;
  for (const auto& x : v) s += (s.empty() ? "" : ", ") + x;
  return s;
}

// In cache: the fast rate of each width against the model's.
Table inCacheTable(const char* fmtName, const std::vector<int>& encW, const std::vector<int>& decW,
                   double floor, Verdicts& vd, const char* unit) {
  Table t;
  t.head = {std::string("width (") + unit + ")", "encode", "model encode", "speed-up",
            "decode", "model decode", "speed-up"};
  double minIn = 1e300, minUp = 1e300;
  std::string minInAt, minUpAt;
  std::vector<std::string> slow, lowUp;
  for (int w : decW) {
    std::vector<std::string> row{std::to_string(w)};
    for (const char* op : {"encode", "decode"}) {
      if (std::strcmp(op, "encode") == 0 && !has(encW, w)) {
        row.insert(row.end(), {"—", "", ""});
        continue;
      }
      const std::string base = std::string(fmtName) + "_" + op;
      const double in = rateOf(benchName("", base.c_str(), w, kInCache));
      const double ref = rateOf(benchName("ref/", base.c_str(), w, kInCache));
      const double up = ref > 0 && in > 0 ? in / ref : 0;
      row.push_back(mvps(in));
      row.push_back(mvps(ref));
      row.push_back(fmt("%.0f×", up));
      const std::string at = std::string(op) + " w=" + std::to_string(w);
      if (in > 0) {
        if (in < minIn) { minIn = in; minInAt = at; }
        if (in < floor) slow.push_back(at);
      }
      if (up > 0) {
        if (up < minUp) { minUp = up; minUpAt = at; }
        if (up < 100) lowUp.push_back(at + " " + fmt("%.0f×", up));
      }
    }
    t.rows.push_back(row);
  }
  const std::string kind = std::strcmp(fmtName, "bpe") == 0 ? "bit-packed" : "whole-byte";
  const bool haveIn = minIn < 1e299, haveUp = minUp < 1e299;
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

}  // namespace

int main(int argc, char** argv) {
  std::string mdPath;
  bool quick = false;
  std::vector<char*> rest{argv[0]};
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--reps=", 7) == 0) gReps = std::max(1, std::atoi(argv[i] + 7));
    else if (std::strncmp(argv[i], "--md=", 5) == 0) mdPath = argv[i] + 5;
    else if (std::strcmp(argv[i], "--quick") == 0) quick = true;
    else rest.push_back(argv[i]);
  }
  if (quick) { gMinTime = 0.05; gRefMinTime = 0.02; }
  int rc = static_cast<int>(rest.size());
  rest.push_back(nullptr);
  benchmark::Initialize(&rc, rest.data());
  if (benchmark::ReportUnrecognizedArguments(rc, rest.data())) return 1;

  const std::string loadBefore = loadAvg();
  std::fprintf(stderr, "native_bench: checking the fast codecs against the model...\n");
  crossCheck();
  registerAll(quick);

  Collector reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  const std::string loadAfter = loadAvg();

  Verdicts vd;
  const size_t big = quick ? size_t{1} << 20 : kOutOfCache;
  std::vector<int> bw(std::begin(kBitWidths), std::end(kBitWidths));
  std::vector<int> bdw = bw;
  bdw.push_back(kBitDecodeOnlyWidth);
  std::vector<int> nw(std::begin(kByteWidths), std::end(kByteWidths));
  const Table bIn = inCacheTable("bpe", bw, bdw, 1e9, vd, "bits");
  const Table nIn = inCacheTable("ne", nw, nw, 2e9, vd, "bytes");
  const Table bOut = outOfCacheTable("bpe", bw, bdw, big, vd, "bits");
  const Table nOut = outOfCacheTable("ne", nw, nw, big, vd, "bytes");
  const Table st = sweepTable(quick, vd);
  const std::string bl = bigLabelOf(big);
  const std::vector<std::pair<std::string, const Table*>> tables = {
      {"Bit-packed, in cache (64Ki values), against the text model (M values/s)", &bIn},
      {"Whole-byte, in cache (64Ki values), against the text model (M values/s)", &nIn},
      {"Bit-packed, out of cache (" + bl + " values; M values/s; cost × = 64Ki rate / this rate)", &bOut},
      {"Whole-byte, out of cache (" + bl + " values; M values/s; cost × = 64Ki rate / this rate)", &nOut},
      {"Cost per value against N (ns per value)", &st},
  };

  std::ostringstream ctx;
  ctx << "CPU: " << cpuModel() << "; compiler: g++ " << __VERSION__ << "\n"
      << "Load average (1, 5, 15 min) before: " << loadBefore << "; after: " << loadAfter << "\n"
      << "Median of " << gReps << " repetitions per benchmark; rates in millions of values per second (M/s); "
      << "speed-up = fast 64Ki rate / model 64Ki rate; cost ratio = in-cache rate / out-of-cache rate.\n";

  std::printf("\n==== Summary ====\n%s", ctx.str().c_str());
  for (const auto& [title, table] : tables) std::printf("\n%s\n%s", title.c_str(), table->text().c_str());
  std::printf("\nTargets\n");
  for (const auto& l : vd.lines) std::printf("%s\n", l.c_str());

  if (!mdPath.empty()) {
    std::time_t now = std::time(nullptr);
    char date[64];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
    std::ofstream md(mdPath);
    md << "# Native codec benchmark\n\n"
       << "Written by `make bench-native` (" << date << (quick ? ", quick mode" : "") << ").\n\n";
    std::istringstream c(ctx.str());
    for (std::string l; std::getline(c, l);) md << l << "  \n";
    md << "\nInputs: for bit width w, random values in [0, m] whose largest m gets exactly width w; "
          "for byte width n likewise; decode reads what the encoder wrote (width 72: random bytes). "
          "64Ki values fit in cache, 16Mi values do not fit in L1/L2.\n"
       << "\"Kept heap\": the same large run after the allocator is told to keep freed memory (no "
          "fresh pages from the kernel per call); without it every call of that size maps and faults in "
          "new pages.\n";
    for (const auto& [title, table] : tables) md << "\n## " << title << "\n\n" << table->markdown();
    md << "\n## Targets\n\n";
    for (const auto& l : vd.lines) md << l << "\n";
    std::fflush(stdout);
    std::fprintf(stderr, "native_bench: wrote %s\n", mdPath.c_str());
  }
  return 0;
}
