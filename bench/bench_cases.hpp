// Benchmark registration: the fast codecs at every width and size, the text
// model in cache, the N sweep, and the large runs again on a kept heap.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace vaskor_bench {

extern int gReps;
extern double gMinTime;
extern double gRefMinTime;

std::string benchName(const char* prefix, const char* op, int w, size_t n);

// The kernel rows measured, as (name, benchmark name prefix): the one the
// library picks on this processor first, then every other row it can run.
std::vector<std::pair<std::string, std::string>> measuredRows();

// The benchmark that only makes a result vector of 64Ki values of this size.
std::string floorName(size_t bytesPerValue);

// Dies unless the fast codecs give the model's results on the in-cache inputs.
void crossCheck();
void registerAll(bool quick);

}  // namespace vaskor_bench
