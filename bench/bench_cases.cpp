#include "bench/bench_cases.hpp"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <climits>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "bench/bench_inputs.hpp"
#include "tests/reference/reference_model.hpp"
#include "vaskor/bpe.hpp"
#include "detail/kernels.hpp"
#include "vaskor/ne.hpp"

namespace vaskor_bench {

int gReps = 3;
double gMinTime = 0.2;
double gRefMinTime = 0.1;

std::string benchName(const char* prefix, const char* op, int w, size_t n) {
  return std::string(prefix) + op + "/w:" + std::to_string(w) + "/n:" + std::to_string(n);
}

namespace {

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

using vaskor::detail::Kernels;

// The row the library picks here; other rows are measured beside it.
const Kernels& chosenRow() {
  static const Kernels& row = vaskor::detail::kernels();
  return row;
}

// Every benchmark first selects the row it measures.
template <class Body>
auto onRow(const Kernels* row, Body body) {
  return [row, body](benchmark::State& st) {
    vaskor::detail::useKernels(*row);
    body(st);
  };
}

void tune(benchmark::internal::Benchmark* b, double minTime) {
  b->Unit(benchmark::kMicrosecond)->MinTime(minTime)->Repetitions(gReps);
}

}  // namespace

std::vector<const Kernels*> rowsToMeasure() {
  std::vector<const Kernels*> rows{&chosenRow()};
  for (const vaskor::detail::KernelRow& r : vaskor::detail::kernelRows())
    if (r.supported && r.kernels != &chosenRow()) rows.push_back(r.kernels);
  return rows;
}

std::string rowPrefix(const Kernels* row) { return row == &chosenRow() ? "" : std::string(row->name) + "/"; }

std::string floorName(size_t bytesPerValue) {
  return "floor/result_vector/bytes_per_value:" + std::to_string(bytesPerValue) + "/n:" + std::to_string(kInCache);
}

std::vector<std::pair<std::string, std::string>> measuredRows() {
  std::vector<std::pair<std::string, std::string>> out;
  for (const Kernels* row : rowsToMeasure()) out.emplace_back(row->name, rowPrefix(row));
  return out;
}

// Before timing anything, the fast codecs must give the model's results on
// the in-cache inputs; a benchmark of wrong output would be meaningless.
void crossCheck() {
  for (const Kernels* row : rowsToMeasure()) {
    vaskor::detail::useKernels(*row);
    const std::string in = std::string(" (") + row->name + " row)";
    for (int w : kBitWidths) {
      const Values& v = bpeValues(w, kInCache);
      int64_t a = 0, b = 0;
      if (vaskor::bpe::encode(v, a) != vaskor_ref::bpeEncode(v, b) || a != b)
        die("bit-packed encode differs from the model at width " + std::to_string(w) + in);
    }
    for (int w : kBitWidths) {
      const Bytes& p = bpePacked(w, kInCache);
      if (vaskor::bpe::decode(p, w) != vaskor_ref::bpeDecode(p, w))
        die("bit-packed decode differs from the model at width " + std::to_string(w) + in);
    }
    {
      const Bytes& p = bpePacked(kBitDecodeOnlyWidth, kInCache);
      if (vaskor::bpe::decode(p, kBitDecodeOnlyWidth) != vaskor_ref::bpeDecode(p, kBitDecodeOnlyWidth))
        die(std::string("bit-packed decode differs from the model at width 72") + in);
    }
    for (int n : kByteWidths) {
      const Values& v = neValues(n, kInCache);
      int64_t a = 0, b = 0;
      if (vaskor::ne::encode(v, a) != vaskor_ref::neEncode(v, b) || a != b)
        die("whole-byte encode differs from the model at width " + std::to_string(n) + in);
      const Bytes& p = nePacked(n, kInCache);
      if (vaskor::ne::decode(p, n) != vaskor_ref::neDecode(p, n))
        die("whole-byte decode differs from the model at width " + std::to_string(n) + in);
    }
  }
  vaskor::detail::useKernels(chosenRow());
}

void registerAll(bool quick) {
  const size_t big = quick ? size_t{1} << 20 : kOutOfCache;
  const Kernels* chosen = &chosenRow();
  // In cache on every row this processor runs; the rest on the chosen row.
  auto fast = [&](const char* op, int w, size_t n, auto body) {
    for (const Kernels* row : rowsToMeasure()) {
      if (n != kInCache && row != chosen) continue;
      tune(benchmark::RegisterBenchmark(benchName(rowPrefix(row).c_str(), op, w, n).c_str(), onRow(row, body)),
           gMinTime);
    }
  };
  auto model = [&](const char* op, int w, auto body) {
    tune(benchmark::RegisterBenchmark(benchName("ref/", op, w, kInCache).c_str(), onRow(chosen, body)), gRefMinTime);
  };
  for (int w : kBitWidths) {
    for (size_t n : {kInCache, big})
      fast("bpe_encode", w, n, [w, n](benchmark::State& st) { encodeBody(st, bpeValues(w, n), w, fastBpeEncode); });
    model("bpe_encode", w, [w](benchmark::State& st) { encodeBody(st, bpeValues(w, kInCache), w, refBpeEncode); });
  }
  std::vector<int> decodeWidths(std::begin(kBitWidths), std::end(kBitWidths));
  decodeWidths.push_back(kBitDecodeOnlyWidth);
  for (int w : decodeWidths) {
    for (size_t n : {kInCache, big})
      fast("bpe_decode", w, n, [w, n](benchmark::State& st) { decodeBody(st, bpePacked(w, n), w, fastBpeDecode); });
    model("bpe_decode", w, [w](benchmark::State& st) { decodeBody(st, bpePacked(w, kInCache), w, refBpeDecode); });
  }
  for (int w : kByteWidths) {
    for (size_t n : {kInCache, big})
      fast("ne_encode", w, n, [w, n](benchmark::State& st) { encodeBody(st, neValues(w, n), w, fastNeEncode); });
    model("ne_encode", w, [w](benchmark::State& st) { encodeBody(st, neValues(w, kInCache), w, refNeEncode); });
  }
  for (int w : kByteWidths) {
    for (size_t n : {kInCache, big})
      fast("ne_decode", w, n, [w, n](benchmark::State& st) { decodeBody(st, nePacked(w, n), w, fastNeDecode); });
    model("ne_decode", w, [w](benchmark::State& st) { decodeBody(st, nePacked(w, kInCache), w, refNeDecode); });
  }
  // What returning a result costs by itself: a vector of the result's size
  // reserved and filled from a buffer in cache, as every codec call does.
  for (const size_t perValue : {size_t{1}, size_t{2}, size_t{4}, size_t{8}})
    tune(benchmark::RegisterBenchmark(floorName(perValue).c_str(),
                                      [perValue](benchmark::State& st) {
                                        const Bytes from(kInCache * perValue, 1);
                                        for (auto _ : st) {
                                          Bytes out;
                                          out.reserve(from.size());
                                          out.insert(out.end(), from.begin(), from.end());
                                          benchmark::DoNotOptimize(out.data());
                                          benchmark::ClobberMemory();
                                        }
                                        st.SetItemsProcessed(st.iterations() * static_cast<int64_t>(kInCache));
                                      }),
         gMinTime);

  // Cost per value against N, at a narrow and a wide width of each format.
  for (size_t n : kSweepN) {
    if (quick && n > 1000000) continue;
    for (int w : kSweepBitWidths) {
      tune(benchmark::RegisterBenchmark(
               benchName("sweep/", "bpe_encode", w, n).c_str(),
               onRow(chosen, [w, n](benchmark::State& st) { encodeBody(st, bpeValues(w, n), w, fastBpeEncode); })),
           gMinTime);
      tune(benchmark::RegisterBenchmark(
               benchName("sweep/", "bpe_decode", w, n).c_str(),
               onRow(chosen, [w, n](benchmark::State& st) { decodeBody(st, bpePacked(w, n), w, fastBpeDecode); })),
           gMinTime);
    }
    for (int w : kSweepByteWidths) {
      tune(benchmark::RegisterBenchmark(
               benchName("sweep/", "ne_encode", w, n).c_str(),
               onRow(chosen, [w, n](benchmark::State& st) { encodeBody(st, neValues(w, n), w, fastNeEncode); })),
           gMinTime);
      tune(benchmark::RegisterBenchmark(
               benchName("sweep/", "ne_decode", w, n).c_str(),
               onRow(chosen, [w, n](benchmark::State& st) { decodeBody(st, nePacked(w, n), w, fastNeDecode); })),
           gMinTime);
    }
  }

  // Last, since it changes the allocator for the rest of the process: the
  // large runs again with freed memory kept in the heap, so that a call gets
  // pages already mapped instead of fresh ones from the kernel.
  auto reg = [chosen](const std::string& name, auto body) {
    tune(benchmark::RegisterBenchmark(name.c_str(),
                                      onRow(chosen, [body](benchmark::State& st) {
                                        keepHeap();
                                        body(st);
                                      })),
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

}  // namespace vaskor_bench
