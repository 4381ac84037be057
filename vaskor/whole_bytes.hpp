// Whole-byte kernels (private to the whole-byte codec): NB = 1..8 bytes per
// value, most significant byte first.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vaskor::detail {

// Writes the low 8*nb bits of each of the n values, n*nb bytes in all.
void packWhole(int nb, const int64_t* in, uint8_t* out, size_t n);

// Reads the ceil(size / nb) groups of nb bytes; a short last group is read
// from the bytes it has. `out` holds one slot per group.
void unpackWhole(int nb, const uint8_t* in, size_t size, int64_t* out);

// The variants behind the two, for tests that must cover both on any machine.
void packWholeScalar(int nb, const int64_t* in, uint8_t* out, size_t n);
void unpackWholeScalar(int nb, const uint8_t* in, size_t size, int64_t* out);
// Only where AVX2 exists; they do the bulk and leave the rest to the scalar ones.
void packWholeAvx2(int nb, const int64_t* in, uint8_t* out, size_t n);
void unpackWholeAvx2(int nb, const uint8_t* in, size_t size, int64_t* out);

}  // namespace vaskor::detail
