// The largest value of a sequence, the search starting from 0, so negative
// values never raise it (private to the codecs; both size their width by it).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vaskor::detail {

int64_t maxFromZero(const int64_t* p, size_t n);

// The two variants behind it, for tests that must cover both on any machine.
int64_t maxFromZeroScalar(const int64_t* p, size_t n);
int64_t maxFromZeroAvx512(const int64_t* p, size_t n);  // only where AVX-512F exists

}  // namespace vaskor::detail
