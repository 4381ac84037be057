// Caller-storage rates of both codecs (encodeInto / decodeInto) at every
// width, each beside memcpy of the same int64 side timed in the same
// benchmark, batch by batch, at 4Ki values (first-level cache), 64Ki
// (second-level) and 16Mi (memory); and the vector forms at 64Ki.
//
//   into_bench [--quick] [--md=path] [google benchmark flags]
//
// --quick measures a few widths at 4Ki, 64Ki and 1Mi. Figures only: nothing
// here passes or fails on time. The ratio is what to read on a shared
// machine; the rates drift with the load.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <span>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "bench/bench_summary.hpp"
#include "vaskor/bpe.hpp"
#include "detail/kernels.hpp"
#include "vaskor/ne.hpp"

namespace {

using Clock = std::chrono::steady_clock;

enum class Form { kInto, kVector };

struct Figure {
  double rate = 0;    // values per second
  double memcpy = 0;  // values per second, memcpy of n int64 beside it
};

// Keyed by codec, direction, form, width and n; the last run of each wins.
std::map<std::string, Figure> gFigures;

std::string key(const char* codec, const char* op, Form form, int w, size_t n) {
  return std::string(codec) + "/" + op + (form == Form::kVector ? "/vector" : "/into") + "/w:" + std::to_string(w) +
         "/n:" + std::to_string(n);
}

// n values whose largest sets the width: w bits (bit-packed) or w bytes.
// Filled in place: a vector that keeps its storage takes no page faults.
void valuesFor(bool bits, int w, size_t n, std::vector<int64_t>& v) {
  const int valueBits = bits ? w - 1 : 8 * w;  // binLen of the largest
  const int64_t top = valueBits >= 64 ? INT64_MAX : int64_t{1} << (valueBits - 1);
  const uint64_t mask = static_cast<uint64_t>(top) - 1;
  std::mt19937_64 rng(static_cast<uint64_t>(w) * 7919 + n);
  v.resize(n);
  for (int64_t& x : v) x = static_cast<int64_t>(rng() & mask);
  v[n / 2] = top;
}

// The inputs of the last benchmark, kept for the next: Google Benchmark runs
// each one several times while it settles the iteration count, and making
// 16Mi inputs anew each time would take longer than timing them.
template <class T, class Make>
const std::vector<T>& lastInput(std::tuple<bool, int, size_t> key, Make make) {
  static std::tuple<bool, int, size_t> kept{false, -1, 0};
  static std::vector<T> input;
  if (kept != key) {
    make(input);
    kept = key;
  }
  return input;
}

// Storage that lives for the whole run, grown to the largest size asked
// for and touched once: the 16Mi runs would otherwise spend more time in
// page faults and fills than in the codecs.
template <class T>
T* kept(std::vector<T>& store, size_t n, T fill) {
  if (store.size() < n) store.assign(n, fill);
  return store.data();
}

std::vector<int64_t> gCopyFrom, gCopyTo;

// Each iteration times a batch of calls and, right after it, a batch of
// memcpy of the same int64 side; the fastest batch of each counts, so that
// a batch the scheduler cut into (the machine is shared) does not.
template <class Body>
void timed(benchmark::State& st, const std::string& k, size_t n, Body body) {
  const int64_t batch = std::max<int64_t>(1, static_cast<int64_t>((size_t{1} << 19) / std::max<size_t>(n, 1)));
  const int64_t* from = kept(gCopyFrom, n, int64_t{1});
  int64_t* to = kept(gCopyTo, n, int64_t{2});
  double codec = INFINITY, copy = INFINITY;
  for (auto _ : st) {
    const auto t0 = Clock::now();
    for (int64_t b = 0; b < batch; ++b) body();
    const auto t1 = Clock::now();
    for (int64_t b = 0; b < batch; ++b) {
      std::memcpy(to, from, n * sizeof(int64_t));
      benchmark::ClobberMemory();
    }
    const auto t2 = Clock::now();
    codec = std::min(codec, std::chrono::duration<double>(t1 - t0).count());
    copy = std::min(copy, std::chrono::duration<double>(t2 - t1).count());
  }
  const double values = static_cast<double>(n) * static_cast<double>(batch);
  gFigures[k] = {values / codec, values / copy};
  st.SetItemsProcessed(st.iterations() * batch * static_cast<int64_t>(n));
}

void encodeBench(benchmark::State& st, bool bits, int w, size_t n, Form form) {
  const std::vector<int64_t>& v =
      lastInput<int64_t>({bits, w, n}, [&](std::vector<int64_t>& in) { valuesFor(bits, w, n, in); });
  static std::vector<uint8_t> store;
  const size_t room = bits ? vaskor::bpe::maxPackedSize(n) : vaskor::ne::maxPackedSize(n);
  const std::span<uint8_t> out(kept(store, room, uint8_t{0}), room);
  int64_t width = 0;
  const char* codec = bits ? "bpe" : "ne";
  timed(st, key(codec, "encode", form, w, n), n, [&] {
    if (form == Form::kVector) {
      auto r = bits ? vaskor::bpe::encode(v, width) : vaskor::ne::encode(v, width);
      benchmark::DoNotOptimize(r.data());
    } else {
      benchmark::DoNotOptimize(bits ? vaskor::bpe::encodeInto(v, out, width) : vaskor::ne::encodeInto(v, out, width));
    }
    benchmark::ClobberMemory();
  });
  if (width != w) st.SkipWithError("unexpected width");
}

void decodeBench(benchmark::State& st, bool bits, int w, size_t n, Form form) {
  const std::vector<uint8_t>& packed = lastInput<uint8_t>({bits, w, n}, [&](std::vector<uint8_t>& bytes) {
    if (bits && w > 65) {
      // Above the widest field only an explicit width reaches: random groups.
      bytes.resize(n * static_cast<size_t>(w) / 8);
      std::mt19937_64 rng(static_cast<uint64_t>(w));
      for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
    } else {
      static std::vector<int64_t> values;
      valuesFor(bits, w, n, values);
      int64_t width = 0;
      bytes.resize(bits ? vaskor::bpe::maxPackedSize(n) : vaskor::ne::maxPackedSize(n));
      bytes.resize(bits ? vaskor::bpe::encodeInto(values, bytes, width) : vaskor::ne::encodeInto(values, bytes, width));
    }
  });
  const uint64_t count = bits ? vaskor::bpe::decodedCount(packed, w) : vaskor::ne::decodedCount(packed, w);
  static std::vector<int64_t> store;
  const std::span<int64_t> out(kept(store, count, int64_t{0}), count);
  timed(st, key(bits ? "bpe" : "ne", "decode", form, w, n), count, [&] {
    if (form == Form::kVector) {
      auto r = bits ? vaskor::bpe::decode(packed, w) : vaskor::ne::decode(packed, w);
      benchmark::DoNotOptimize(r.data());
    } else {
      benchmark::DoNotOptimize(bits ? vaskor::bpe::decodeInto(packed, w, out) : vaskor::ne::decodeInto(packed, w, out));
    }
    benchmark::ClobberMemory();
  });
}

struct Plan {
  std::vector<int> bitWidths, bitDecodeOnly, byteWidths;
  std::vector<size_t> sizes;
  size_t vectorSize;
};

Plan planFor(bool quick) {
  Plan p;
  if (quick) {
    p.bitWidths = {2, 8, 33, 63, 65};
    p.bitDecodeOnly = {72};
    p.byteWidths = {1, 3, 8};
    p.sizes = {4096, 65536, size_t{1} << 20};
  } else {
    for (int w = 2; w <= 65; ++w) p.bitWidths.push_back(w);
    p.bitDecodeOnly = {66, 72, 100, 128};
    for (int w = 1; w <= 8; ++w) p.byteWidths.push_back(w);
    p.sizes = {4096, 65536, size_t{16} << 20};
  }
  p.vectorSize = 65536;
  return p;
}

void registerAll(const Plan& p, bool quick) {
  auto add = [&](const std::string& name, size_t n, auto fn) {
    // Memory-sized runs take a fixed few iterations (a 16Mi one lasts tens of
    // milliseconds); cached ones as many as a short time allows.
    benchmark::internal::Benchmark* b = benchmark::RegisterBenchmark(name.c_str(), fn)->Unit(benchmark::kMicrosecond);
    if (n > (size_t{1} << 18))
      b->Iterations(quick ? 4 : 6);
    else
      b->MinTime(quick ? 0.02 : 0.05);
  };
  for (int bits = 1; bits >= 0; --bits) {
    const std::vector<int>& widths = bits ? p.bitWidths : p.byteWidths;
    const char* codec = bits ? "bpe" : "ne";
    for (size_t n : p.sizes)
      for (int w : widths) {
        add(key(codec, "encode", Form::kInto, w, n), n,
            [=](benchmark::State& st) { encodeBench(st, bits, w, n, Form::kInto); });
        add(key(codec, "decode", Form::kInto, w, n), n,
            [=](benchmark::State& st) { decodeBench(st, bits, w, n, Form::kInto); });
      }
    if (bits)
      for (size_t n : p.sizes)
        for (int w : p.bitDecodeOnly)
          add(key(codec, "decode", Form::kInto, w, n), n,
              [=](benchmark::State& st) { decodeBench(st, bits, w, n, Form::kInto); });
    for (int w : widths) {
      add(key(codec, "encode", Form::kVector, w, p.vectorSize), p.vectorSize,
          [=](benchmark::State& st) { encodeBench(st, bits, w, p.vectorSize, Form::kVector); });
      add(key(codec, "decode", Form::kVector, w, p.vectorSize), p.vectorSize,
          [=](benchmark::State& st) { decodeBench(st, bits, w, p.vectorSize, Form::kVector); });
    }
  }
}

std::string sizeLabel(size_t n) {
  return n >= (size_t{1} << 20) ? std::to_string(n >> 20) + "Mi" : std::to_string(n >> 10) + "Ki";
}

// "rate (ratio×)" in M values/s, or a dash where nothing was measured.
std::string cell(const std::string& k) {
  const auto it = gFigures.find(k);
  if (it == gFigures.end()) return "-";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.0f (%.2f×)", it->second.rate / 1e6, it->second.rate / it->second.memcpy);
  return buf;
}

void table(std::ostream& md, bool bits, const Plan& p) {
  const char* codec = bits ? "bpe" : "ne";
  md << "\n### " << (bits ? "Bit-packed" : "Whole-byte") << ", width in " << (bits ? "bits" : "bytes") << "\n\n| w |";
  for (const char* op : {"encodeInto", "decodeInto"})
    for (size_t n : p.sizes) md << " " << op << " " << sizeLabel(n) << " |";
  md << " encode " << sizeLabel(p.vectorSize) << " | decode " << sizeLabel(p.vectorSize) << " |\n|---:|";
  for (size_t c = 0; c < 2 * p.sizes.size() + 2; ++c) md << "---:|";
  md << "\n";
  std::vector<int> rows = bits ? p.bitWidths : p.byteWidths;
  if (bits) rows.insert(rows.end(), p.bitDecodeOnly.begin(), p.bitDecodeOnly.end());
  for (int w : rows) {
    md << "| " << w << " |";
    for (const char* op : {"encode", "decode"})
      for (size_t n : p.sizes) md << " " << cell(key(codec, op, Form::kInto, w, n)) << " |";
    for (const char* op : {"encode", "decode"}) md << " " << cell(key(codec, op, Form::kVector, w, p.vectorSize)) << " |";
    md << "\n";
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string mdPath;
  bool quick = false;
  std::string row;  // another row of the kernel table than the preferred one
  std::vector<char*> rest{argv[0]};
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--md=", 5) == 0) mdPath = argv[i] + 5;
    else if (std::strcmp(argv[i], "--quick") == 0) quick = true;
    else if (std::strncmp(argv[i], "--row=", 6) == 0) row = argv[i] + 6;
    else rest.push_back(argv[i]);
  }
  int rc = static_cast<int>(rest.size());
  rest.push_back(nullptr);
  benchmark::Initialize(&rc, rest.data());
  if (benchmark::ReportUnrecognizedArguments(rc, rest.data())) return 1;

  if (!row.empty()) {
    bool found = false;
    for (const vaskor::detail::KernelRow& r : vaskor::detail::kernelRows())
      if (r.supported && row == r.kernels->name) {
        vaskor::detail::useKernels(*r.kernels);
        found = true;
      }
    if (!found) {
      std::fprintf(stderr, "into_bench: no row '%s' this processor runs\n", row.c_str());
      return 1;
    }
  }
  const Plan plan = planFor(quick);
  registerAll(plan, quick);
  const std::string loadBefore = vaskor_bench::loadAvg();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::ostringstream md;
  md << "## Into caller storage: M values/s and (× memcpy of the same int64 side, timed beside it)\n\n"
     << "CPU: " << vaskor_bench::cpuModel() << "; kernel row: " << vaskor::detail::kernels().name
     << "; load average before / after: " << loadBefore << " / " << vaskor_bench::loadAvg() << "\n\n"
     << "encodeInto is given maxPackedSize(n) bytes; decodeInto exactly decodedCount values. The last two\n"
     << "columns are the vector forms (encode / decode), which allocate their result.\n"
     << "Bit widths above 65 are decoded with that explicit width from random bytes.\n";
  table(md, true, plan);
  table(md, false, plan);
  std::fputs(md.str().c_str(), stdout);
  if (!mdPath.empty()) std::ofstream(mdPath) << md.str();
  return 0;
}
