// The largest value of a sequence, the search starting from 0, so negative
// values never raise it (private; both codecs size their width by it). The
// rows of the kernel table pick one.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vaskor::detail {

int64_t maxFromZeroScalar(const int64_t* p, size_t n);
#if defined(__x86_64__)
int64_t maxFromZeroAvx2(const int64_t* p, size_t n);    // only where AVX2 exists
int64_t maxFromZeroAvx512(const int64_t* p, size_t n);  // only where AVX-512F exists
#endif

}  // namespace vaskor::detail
