// Whole-byte kernels (private to the whole-byte codec): NB = 1..8 bytes per
// value, most significant byte first.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vaskor::detail {

// The contract of Kernels::packWhole and unpackWhole.
void packWholeScalar(int nb, const int64_t* in, uint8_t* out, size_t n);
void unpackWholeScalar(int nb, const uint8_t* in, size_t size, int64_t* out);
#if defined(__x86_64__)
// Only where AVX2 exists; they do the bulk and leave the rest to the scalar ones.
void packWholeAvx2(int nb, const int64_t* in, uint8_t* out, size_t n);
void unpackWholeAvx2(int nb, const uint8_t* in, size_t size, int64_t* out);
#endif

}  // namespace vaskor::detail
