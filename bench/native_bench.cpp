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

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_cases.hpp"
#include "bench/bench_inputs.hpp"
#include "bench/bench_summary.hpp"

using namespace vaskor_bench;

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
  std::vector<std::pair<std::string, Table>> inCache;
  for (const auto& [row, prefix] : measuredRows()) {
    const std::string at = " (" + row + " row)";
    inCache.emplace_back("Bit-packed, in cache (64Ki values), against the text model (M values/s)" + at,
                         inCacheTable("bpe", bw, bdw, 2e9, 4e9, 16, prefix, row, vd, "bits"));
    inCache.emplace_back("Whole-byte, in cache (64Ki values), against the text model (M values/s)" + at,
                         inCacheTable("ne", nw, nw, 3e9, 0, 0, prefix, row, vd, "bytes"));
  }
  const Table bOut = outOfCacheTable("bpe", bw, bdw, big, vd, "bits");
  const Table nOut = outOfCacheTable("ne", nw, nw, big, vd, "bytes");
  const Table st = sweepTable(quick, vd);
  const Table fl = floorTable();
  const std::string bl = bigLabelOf(big);
  const std::string chosen = " (" + measuredRows().front().first + " row)";
  std::vector<std::pair<std::string, const Table*>> tables = {
      {"Bit-packed, out of cache (" + bl + " values; M values/s; cost × = 64Ki rate / this rate)" + chosen, &bOut},
      {"Whole-byte, out of cache (" + bl + " values; M values/s; cost × = 64Ki rate / this rate)" + chosen, &nOut},
      {"Cost per value against N (ns per value)" + chosen, &st},
      {"The result vector alone: 64Ki values' worth of bytes reserved and copied in from cache (no codec work)", &fl},
  };
  for (auto it = inCache.rbegin(); it != inCache.rend(); ++it) tables.insert(tables.begin(), {it->first, &it->second});

  std::ostringstream ctx;
  std::string rows;
  for (const auto& r : measuredRows()) rows += (rows.empty() ? "" : ", ") + r.first;
  ctx << "CPU: " << cpuModel() << "; compiler: g++ " << __VERSION__ << "\n"
      << "Kernel rows measured: " << rows << " (the first is the one the library picks on this CPU; "
      << "out-of-cache and sweep figures are for that row)\n"
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
