// Frames against the bare bit-packed codec: encodeInto and decodeInto of
// the same int64 values, each frame call timed beside its bpe peer in the
// same benchmark, batch by batch, so that the ratio holds on a shared
// machine. Values of 20 bits (a frame of reference width 20 against bpe's
// 21) and of the full int64 range (64 against 65), as a frame of reference
// and as delta.
//
//   frame_bench [--n=COUNT] [google benchmark flags]     (COUNT: 10000000)
//
// Figures only: nothing here passes or fails on time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_summary.hpp"
#include "vaskor/bpe.hpp"
#include "vaskor/frame.hpp"
#include "detail/kernels.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using vaskor::frame::ElementType;
using vaskor::frame::Options;
using vaskor::frame::Transform;

size_t gCount = 10'000'000;

struct Row {
  std::string name;
  double frame = 0, bpe = 0;  // ns per value, fastest batch
};
std::vector<Row> gRows;

std::vector<int64_t> valuesOf(int bits) {
  std::mt19937_64 rng(static_cast<uint64_t>(bits));
  std::vector<int64_t> v(gCount);
  for (int64_t& x : v) x = static_cast<int64_t>(bits == 64 ? rng() : rng() >> (64 - bits));
  return v;
}

// Times `frame` and `peer` one after the other each iteration; the fastest
// of each counts, so a run the scheduler cut into does not.
template <class F, class P>
void pair(benchmark::State& st, const std::string& name, F frame, P peer) {
  double best[2] = {INFINITY, INFINITY};
  for (auto _ : st) {
    const auto t0 = Clock::now();
    frame();
    benchmark::ClobberMemory();
    const auto t1 = Clock::now();
    peer();
    benchmark::ClobberMemory();
    const auto t2 = Clock::now();
    best[0] = std::min(best[0], std::chrono::duration<double>(t1 - t0).count());
    best[1] = std::min(best[1], std::chrono::duration<double>(t2 - t1).count());
  }
  const double n = static_cast<double>(gCount);
  gRows.push_back({name, best[0] * 1e9 / n, best[1] * 1e9 / n});
  st.counters["frame_ns"] = best[0] * 1e9 / n;
  st.counters["bpe_ns"] = best[1] * 1e9 / n;
}

void run(benchmark::State& st, int bits, Transform transform) {
  static std::vector<int64_t> values, back;
  static std::vector<uint8_t> frameOut, bpeOut;
  static int made = -1;
  if (made != bits) {
    values = valuesOf(bits);
    back.assign(gCount, 0);
    frameOut.assign(vaskor::frame::maxFrameSize(ElementType::int64, gCount, vaskor::frame::Layout::bitPacked), 0);
    bpeOut.assign(vaskor::bpe::maxPackedSize(gCount), 0);
    made = bits;
  }
  const Options o{vaskor::frame::Layout::bitPacked, transform};
  const std::string what = std::to_string(bits) + " bits, " + (transform == Transform::delta ? "delta" : "for");
  int64_t width = 0;
  uint64_t frameSize = 0, bpeSize = 0;
  pair(
      st, "encode " + what,
      [&] { frameSize = vaskor::frame::encodeInto(ElementType::int64, values.data(), gCount, o, frameOut); },
      [&] { bpeSize = vaskor::bpe::encodeInto(values, bpeOut, width); });
  const std::span<const uint8_t> frame(frameOut.data(), frameSize), packed(bpeOut.data(), bpeSize);
  double best[2] = {INFINITY, INFINITY};
  for (int k = 0; k < 6; ++k) {
    const auto t0 = Clock::now();
    vaskor::frame::decodeInto(frame, back.data(), back.size() * 8);
    benchmark::ClobberMemory();
    const auto t1 = Clock::now();
    vaskor::bpe::decodeInto(packed, width, back);
    benchmark::ClobberMemory();
    const auto t2 = Clock::now();
    best[0] = std::min(best[0], std::chrono::duration<double>(t1 - t0).count());
    best[1] = std::min(best[1], std::chrono::duration<double>(t2 - t1).count());
  }
  const double n = static_cast<double>(gCount);
  gRows.push_back({"decode " + what, best[0] * 1e9 / n, best[1] * 1e9 / n});
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--n=", 4) == 0)
      gCount = std::stoull(argv[i] + 4);
    else
      rest.push_back(argv[i]);
  }
  int restCount = static_cast<int>(rest.size());
  for (int bits : {20, 64})
    for (Transform t : {Transform::frameOfReference, Transform::delta})
      benchmark::RegisterBenchmark(("frame_vs_bpe/" + std::to_string(bits) + (t == Transform::delta ? "/delta" : "/for")).c_str(),
                                   [bits, t](benchmark::State& st) { run(st, bits, t); })
          ->Iterations(6)
          ->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&restCount, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  std::printf("\nCPU: %s; kernel row: %s\n", vaskor_bench::cpuModel().c_str(), vaskor::detail::kernels().name);
  std::printf("%zu int64 values, ns a value (fastest of 6); frame beside bpe on the same values\n", gCount);
  std::printf("%-24s %10s %10s %8s\n", "", "frame", "bpe", "ratio");
  for (const Row& r : gRows) std::printf("%-24s %10.3f %10.3f %8.2f\n", r.name.c_str(), r.frame, r.bpe, r.frame / r.bpe);
  return 0;
}
