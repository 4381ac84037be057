// The blocked frame layout on the benchmark's columns, against the bare
// bit-packed codec on the same values: encodeInto beside
// vaskor::bpe::encodeInto (target: at most 1.5 times its time), decodeInto
// beside bpe::decodeInto of bpe's own encoding (at most 1.2 times), with
// the version-1 bit-packed frame beside both; and decodeRangeInto of 1000
// values from the middle of the long column against decoding a frame of
// the three blocks around them. Each call is timed beside its peers in the
// same benchmark iteration and the fastest iteration of each counts, so
// that the ratios hold on a shared machine.
//
//   frame_bench --columns=DIR [--quick] [google benchmark flags]
//
// DIR is what `python3 -m pybench.columns --out DIR` (from bench/) writes;
// `make bench-native` runs it first. Figures only: nothing here passes or
// fails on time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_columns.hpp"
#include "bench/bench_inputs.hpp"
#include "bench/bench_summary.hpp"
#include "detail/kernels.hpp"
#include "vaskor/bpe.hpp"
#include "vaskor/frame.hpp"

namespace {

namespace fr = vaskor::frame;
using Clock = std::chrono::steady_clock;
using Call = std::function<void()>;
using vaskor_bench::Column;

constexpr fr::Options kV1{fr::Layout::bitPacked, fr::Transform::frameOfReference};
constexpr uint64_t kRangeValues = 1000, kRangeBlocks = 3;
int gIterations = 30;

// Blocked, version-1 frame, bpe.
struct Trio {
  double v[3] = {0, 0, 0};
};
struct Result {
  const Column* column;
  Trio bytes, enc, dec;  // bytes a value; ns a value
  std::string schemes;   // the blocked frame's blocks by scheme
};
std::vector<Result> gResults;
struct RangeResult {
  std::string layout;
  double range, blocks;  // ns a call
};
std::vector<RangeResult> gRanges;

// Each iteration runs every call once, each timed; the fastest of each
// counts (seconds per call, each call repeated `inner` times).
std::vector<double> timeEach(benchmark::State& st, const std::vector<Call>& calls, int inner = 1) {
  std::vector<double> best(calls.size(), INFINITY);
  for (auto _ : st)
    for (size_t k = 0; k < calls.size(); ++k) {
      const auto t0 = Clock::now();
      for (int i = 0; i < inner; ++i) calls[k]();
      benchmark::ClobberMemory();
      best[k] = std::min(best[k], std::chrono::duration<double>(Clock::now() - t0).count() / inner);
    }
  return best;
}

// What one column's codecs hold between their encoding and decoding.
struct Codecs {
  std::vector<uint8_t> out[3];
  uint64_t size[3] = {0, 0, 0};
  int64_t width = 0;
};

// One benchmark a column: each iteration encodes with each codec, then
// decodes what each made (bpe its own encoding).
void measureColumn(benchmark::State& st, Result& r) {
  const std::vector<int64_t>& v = r.column->values;
  const uint64_t n = v.size();
  const auto type = fr::ElementType::int64;
  Codecs c;
  std::vector<int64_t> back(n);
  c.out[0].resize(fr::maxFrameSize(type, n, fr::Layout::blocked));
  c.out[1].resize(fr::maxFrameSize(type, n, fr::Layout::bitPacked));
  c.out[2].resize(vaskor::bpe::maxPackedSize(n));
  const auto frame = [&](int k) { return std::span<const uint8_t>(c.out[k].data(), c.size[k]); };
  const Call encode[3] = {[&] { c.size[0] = fr::encodeInto(type, v.data(), n, fr::kBlocked, c.out[0]); },
                          [&] { c.size[1] = fr::encodeInto(type, v.data(), n, kV1, c.out[1]); },
                          [&] { c.size[2] = vaskor::bpe::encodeInto(v, c.out[2], c.width); }};
  const Call decode[3] = {[&] { fr::decodeInto(frame(0), back.data(), n * 8); },
                          [&] { fr::decodeInto(frame(1), back.data(), n * 8); },
                          [&] { vaskor::bpe::decodeInto(frame(2), c.width, back); }};
  const std::vector<double> best =
      timeEach(st, {encode[0], encode[1], encode[2], decode[0], decode[1], decode[2]});
  const double perValue = 1e9 / static_cast<double>(std::max<uint64_t>(n, 1));
  for (int k = 0; k < 3; ++k) {
    decode[k]();
    if (k < 2 && back != v) vaskor_bench::die(r.column->name + ": a frame does not give the column back");
    r.enc.v[k] = best[k] * perValue;
    r.dec.v[k] = best[3 + k] * perValue;
    r.bytes.v[k] = static_cast<double>(c.size[k]) / static_cast<double>(std::max<uint64_t>(n, 1));
  }
  const fr::BlockSummary blocks = fr::readBlocks(frame(0));
  for (size_t b = 1; b <= fr::kSchemeMax; ++b)
    if (blocks.schemes[b] > 0)
      r.schemes += (r.schemes.empty() ? "" : ", ") + std::string(fr::nameOf(static_cast<fr::Scheme>(b))) + " " +
                   std::to_string(blocks.schemes[b]);
  st.counters["bpe_encode_ns"] = r.enc.v[2];
  st.counters["blocked_encode_ns"] = r.enc.v[0];
}

std::string labelOf(fr::Options o) {
  return std::string(fr::nameOf(o.layout)) + "/" + fr::nameOf(o.transform);
}

// decodeRangeInto of kRangeValues from the middle of the long column, and
// decodeInto of a frame of the kRangeBlocks blocks from the one it starts in.
void measureRange(benchmark::State& st, const Column& col, fr::Options o) {
  const std::vector<int64_t>& v = col.values;
  const uint64_t start = v.size() / 2, first = start - start % fr::kBlockValues;
  const uint64_t partCount = std::min<uint64_t>(kRangeBlocks * fr::kBlockValues, v.size() - first);
  const auto type = fr::ElementType::int64;
  const std::vector<uint8_t> whole = fr::encode(type, v.data(), v.size(), o);
  const std::vector<uint8_t> part = fr::encode(type, v.data() + first, partCount, o);
  std::vector<int64_t> got(kRangeValues), partOut(partCount);
  const auto range = [&] { fr::decodeRangeInto(whole, start, start + kRangeValues, got.data(), kRangeValues * 8); };
  range();
  if (!std::equal(got.begin(), got.end(), v.begin() + static_cast<ptrdiff_t>(start)))
    vaskor_bench::die("the range decode of " + labelOf(o) + " is wrong");
  const std::vector<double> best =
      timeEach(st, {range, [&] { fr::decodeInto(part, partOut.data(), partCount * 8); }}, 200);
  gRanges.push_back({labelOf(o), best[0] * 1e9, best[1] * 1e9});
}

std::string cell(double x, const char* fmt = "%.3f") {
  char b[32];
  std::snprintf(b, sizeof b, fmt, x);
  return b;
}

bool negative(const Column& c) {
  return std::any_of(c.values.begin(), c.values.end(), [](int64_t x) { return x < 0; });
}

// The ratio, met or MISSED.
std::string verdict(double mine, double peer, double limit) {
  return cell(mine / peer, "%.2f") + (mine / peer <= limit ? " met" : " MISSED");
}

void printSummary(const std::string& loadBefore) {
  std::printf("\nCPU: %s; kernel row: %s; load average before %s, after %s\n", vaskor_bench::cpuModel().c_str(),
              vaskor::detail::kernels().name, loadBefore.c_str(), vaskor_bench::loadAvg().c_str());
  std::printf("ns a value, fastest of %d iterations; frame: %s, the version-1 frame\n", gIterations,
              labelOf(kV1).c_str());
  vaskor_bench::Table t;
  const std::string blocked = fr::nameOf(fr::Layout::blocked);
  t.head = {"column", "values", blocked + " B/value", "frame B/value", "bpe B/value", blocked + " encode", "frame encode",
            "bpe encode", "encode / bpe (<= 1.5)", blocked + " decode", "frame decode", "bpe decode",
            "decode / bpe (<= 1.2)", blocked + " blocks by scheme"};
  for (const Result& r : gResults)
    t.rows.push_back({r.column->name + (negative(*r.column) ? " *" : ""), std::to_string(r.column->values.size()),
                      cell(r.bytes.v[0]), cell(r.bytes.v[1]), cell(r.bytes.v[2]),
                      cell(r.enc.v[0]), cell(r.enc.v[1]), cell(r.enc.v[2]), verdict(r.enc.v[0], r.enc.v[2], 1.5),
                      cell(r.dec.v[0]), cell(r.dec.v[1]), cell(r.dec.v[2]), verdict(r.dec.v[0], r.dec.v[2], 1.2), r.schemes});
  std::printf("%s* bpe keeps only the low bits of negative values: its figures there are of a lossy encoding\n",
              t.text().c_str());
  std::printf("\nRange decode, ns a call: %llu values from the middle of the long column against a frame of %llu blocks\n",
              static_cast<unsigned long long>(kRangeValues), static_cast<unsigned long long>(kRangeBlocks));
  vaskor_bench::Table rt;
  rt.head = {"frame", "range", "three blocks", "ratio"};
  for (const RangeResult& r : gRanges)
    rt.rows.push_back({r.layout, cell(r.range, "%.0f"), cell(r.blocks, "%.0f"), cell(r.range / r.blocks, "%.2f")});
  std::printf("%s", rt.text().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--columns=", 10) == 0)
      dir = argv[i] + 10;
    else if (std::strcmp(argv[i], "--quick") == 0)
      gIterations = 2;
    else
      rest.push_back(argv[i]);
  }
  if (dir.empty()) vaskor_bench::die("frame_bench needs --columns=DIR (python3 -m pybench.columns --out DIR)");
  const std::string loadBefore = vaskor_bench::loadAvg();
  const std::vector<Column> columns = vaskor_bench::readColumns(dir);
  gResults.reserve(columns.size());
  for (const Column& c : columns) {
    if (c.range) {
      for (const fr::Options o : {fr::kBlocked, kV1})
        benchmark::RegisterBenchmark(("range/" + labelOf(o)).c_str(),
                                     [&c, o](benchmark::State& st) { measureRange(st, c, o); })
            ->Iterations(gIterations);
      continue;
    }
    gResults.push_back({&c, {}, {}, {}, {}});
    Result* r = &gResults.back();
    benchmark::RegisterBenchmark(("columns/" + c.name).c_str(), [r](benchmark::State& st) { measureColumn(st, *r); })
        ->Iterations(gIterations)
        ->Unit(benchmark::kMillisecond);
  }
  int restCount = static_cast<int>(rest.size());
  benchmark::Initialize(&restCount, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  printSummary(loadBefore);
  return 0;
}
