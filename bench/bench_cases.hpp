// Benchmark registration: the fast codecs at every width and size, the text
// model in cache, the N sweep, and the large runs again on a kept heap.
#pragma once

#include <cstddef>
#include <string>

namespace vaskor_bench {

extern int gReps;
extern double gMinTime;
extern double gRefMinTime;

std::string benchName(const char* prefix, const char* op, int w, size_t n);

// Dies unless the fast codecs give the model's results on the in-cache inputs.
void crossCheck();
void registerAll(bool quick);

}  // namespace vaskor_bench
