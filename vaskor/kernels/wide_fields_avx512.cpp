// Bit-packed groups of fields of 8 to 65 bits with byte permutes. Eight
// fields fill exactly bitWidth bytes, so a group starts on a byte and fits
// one 64-byte register (the 65th byte of a 65-bit group aside). Packing
// shifts each field to its bit offset inside its first byte, and one byte
// permute per parity puts the fields' bytes in place, big-endian: fields
// of 8 bits or more that are two apart never share a byte, so the even
// fields' bytes and the odd fields' bytes are each one permute, OR-ed.
// A field that reaches a ninth byte sends it there through a third.
// Unpacking gathers each field's bytes into a lane the same way.
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "detail/kernels.hpp"
#include "kernels/avx512.hpp"

namespace vaskor::detail {

namespace {

// Where the fields of a group of one width go.
struct GroupPlan {
  alignas(64) uint8_t evenBytes[64];  // output byte t: the lane byte it takes
  alignas(64) uint8_t oddBytes[64];
  alignas(64) uint8_t ninthBytes[64];
  alignas(64) uint8_t unshiftedBytes[64];  // the same, fields of whole bytes left in place
  alignas(64) int64_t toFirstByte[8];  // packing: left shift of a field into its 8 bytes
  alignas(64) int64_t overhang[8];     // bits past those 8 bytes (0 if none)
  alignas(64) uint8_t fieldBytes[64];  // unpacking: lane byte j takes input byte
  alignas(64) uint8_t ninthOfLane[64];
  alignas(64) int64_t bitInByte[8];
  uint64_t evenMask, oddMask, ninthMask, ninthLaneMask;
  bool spills;
};

constexpr GroupPlan planFor(int bitWidth) {
  GroupPlan plan{};
  const int payloadBits = bitWidth < 64 ? bitWidth : 64;
  for (int field = 0; field < 8; ++field) {
    const int firstBit = field * bitWidth + (bitWidth - payloadBits);
    const int firstByte = firstBit / 8, bitInByte = firstBit % 8;
    const int reach = bitInByte + payloadBits;  // bits from firstByte's top
    const int lastByte = firstByte + (reach - 1) / 8;
    plan.toFirstByte[field] = reach <= 64 ? 64 - reach : 0;
    plan.overhang[field] = reach > 64 ? reach - 64 : 0;
    plan.bitInByte[field] = bitInByte;
    for (int t = firstByte; t <= lastByte && t < firstByte + 8 && t < 64; ++t) {
      const uint8_t lane = static_cast<uint8_t>(8 * field + 7 - (t - firstByte));
      (field % 2 == 0 ? plan.evenBytes : plan.oddBytes)[t] = lane;
      plan.unshiftedBytes[t] = static_cast<uint8_t>(lane - (64 - reach) / 8);
      (field % 2 == 0 ? plan.evenMask : plan.oddMask) |= uint64_t{1} << t;
    }
    if (reach > 64) {
      plan.spills = true;
      if (firstByte + 8 < 64) {
        plan.ninthBytes[firstByte + 8] = static_cast<uint8_t>(8 * field);
        plan.ninthMask |= uint64_t{1} << (firstByte + 8);
      }
      plan.ninthOfLane[8 * field] = static_cast<uint8_t>(firstByte + 8);
      plan.ninthLaneMask |= uint64_t{1} << (8 * field);
    }
    for (int j = 0; j < 8; ++j) plan.fieldBytes[8 * field + j] = static_cast<uint8_t>(firstByte + 7 - j);
  }
  return plan;
}

constexpr auto kPlans = [] {
  std::array<GroupPlan, kMaxWideField + 1> plans{};
  for (int w = kMinWideField; w <= kMaxWideField; ++w) plans[w] = planFor(w);
  return plans;
}();

[[VASKOR_AVX512_TARGET]] inline __m512i loadPlan(const void* p) { return _mm512_load_si512(p); }

// The masked forms with every lane on: GCC 12's plain forms warn about
// their own placeholder operand.
constexpr __mmask8 kAllLanes = 0xFF;
[[VASKOR_AVX512_INLINE]] inline __m512i shiftLeft(__m512i v, __m512i by) {
  return _mm512_maskz_sllv_epi64(kAllLanes, v, by);
}
[[VASKOR_AVX512_INLINE]] inline __m512i shiftRight(__m512i v, __m512i by) {
  return _mm512_maskz_srlv_epi64(kAllLanes, v, by);
}
[[VASKOR_AVX512_INLINE]] inline __m512i larger(__m512i a, __m512i b) {
  return _mm512_maskz_max_epi64(kAllLanes, a, b);
}

struct Packing {
  __m512i even, odd, ninth, unshifted, toFirstByte, overhang, toNinthByte, fieldMask;
  uint64_t evenMask, oddMask, ninthMask;
};

// The bytes of the group of eight values at `in`; keeps their largest too.
// Fields of whole bytes need no mask and no shift: one permute picks them.
enum class Fit { wholeBytes, withinEightBytes, spills };

template <bool largest, Fit fit>
[[VASKOR_AVX512_INLINE]] inline __m512i packGroup(const Packing& how, const int64_t* in,
                                                                     __m512i& top) {
  const __m512i values = _mm512_loadu_si512(in);
  if constexpr (largest) top = larger(top, values);
  if constexpr (fit == Fit::wholeBytes)
    return _mm512_maskz_permutexvar_epi8(how.evenMask | how.oddMask, how.unshifted, values);
  const __m512i fields = _mm512_and_si512(values, how.fieldMask);
  __m512i placed = shiftLeft(fields, how.toFirstByte);
  // With an overhang the field's first 8 bytes take its top bits.
  if constexpr (fit == Fit::spills) placed = shiftRight(placed, how.overhang);
  __m512i bytes = _mm512_or_si512(_mm512_maskz_permutexvar_epi8(how.evenMask, how.even, placed),
                                  _mm512_maskz_permutexvar_epi8(how.oddMask, how.odd, placed));
  if constexpr (fit == Fit::spills)
    bytes = _mm512_or_si512(bytes, _mm512_maskz_permutexvar_epi8(how.ninthMask, how.ninth,
                                                                 shiftLeft(fields, how.toNinthByte)));
  return bytes;
}

template <bool largest, Fit fit>
[[VASKOR_AVX512_TARGET]] void packGroups(const Packing& how, int bitWidth, const int64_t* in, uint8_t* out,
                                         size_t groups, __m512i& top) {
  const size_t stride = static_cast<size_t>(bitWidth);
  // The group's 64 bytes at once while they stay inside the output; the
  // bytes past the group are rewritten by the next one.
  const size_t whole = stepsInside(groups, stride, 64);
  size_t g = 0;
#pragma GCC unroll 2
  for (; g < whole; ++g) {
    _mm512_storeu_si512(out + g * stride, packGroup<largest, fit>(how, in + 8 * g, top));
    if (bitWidth == 65) out[g * stride + 64] = static_cast<uint8_t>(in[8 * g + 7]);
  }
  const uint64_t groupBytes = (uint64_t{1} << (bitWidth % 64)) - 1;  // bitWidth < 64 here
  for (; g < groups; ++g)
    _mm512_mask_storeu_epi8(out + g * stride, groupBytes, packGroup<largest, fit>(how, in + 8 * g, top));
}

template <bool largest>
[[VASKOR_AVX512_TARGET]] void packAny(int bitWidth, const int64_t* in, uint8_t* out, size_t groups, __m512i& top) {
  const GroupPlan& plan = kPlans[bitWidth];
  const Packing how{loadPlan(plan.evenBytes),
                    loadPlan(plan.oddBytes),
                    loadPlan(plan.ninthBytes),
                    loadPlan(plan.unshiftedBytes),
                    loadPlan(plan.toFirstByte),
                    loadPlan(plan.overhang),
                    _mm512_sub_epi64(_mm512_set1_epi64(8), loadPlan(plan.overhang)),
                    _mm512_set1_epi64(bitWidth < 64 ? static_cast<int64_t>((uint64_t{1} << (bitWidth % 64)) - 1) : -1),
                    plan.evenMask,
                    plan.oddMask,
                    plan.ninthMask};
  if (bitWidth % 8 == 0 && bitWidth <= 64)
    packGroups<largest, Fit::wholeBytes>(how, bitWidth, in, out, groups, top);
  else if (plan.spills)
    packGroups<largest, Fit::spills>(how, bitWidth, in, out, groups, top);
  else
    packGroups<largest, Fit::withinEightBytes>(how, bitWidth, in, out, groups, top);
}

struct Unpacking {
  __m512i fieldBytes, ninthOfLane, bitInByte, ninthShift, dropBits;
  uint64_t ninthLaneMask;
};

// A 65-bit group reads one byte past 64: two registers, indices up to 127.
template <bool spills, bool twoRegisters>
[[VASKOR_AVX512_INLINE]] inline void unpackGroup(const Unpacking& how, const uint8_t* group,
                                                                    int64_t* to) {
  const __m512i low = _mm512_loadu_si512(group);
  __m512i fields;
  if constexpr (twoRegisters) {
    const __m512i high = _mm512_loadu_si512(group + 64);
    fields = _mm512_permutex2var_epi8(low, how.fieldBytes, high);
    if constexpr (spills) {
      const __m512i ninth = _mm512_maskz_permutex2var_epi8(how.ninthLaneMask, low, how.ninthOfLane, high);
      fields = _mm512_or_si512(shiftLeft(fields, how.bitInByte), shiftRight(ninth, how.ninthShift));
    } else {
      fields = shiftLeft(fields, how.bitInByte);
    }
  } else {
    fields = shiftLeft(_mm512_maskz_permutexvar_epi8(~uint64_t{0}, how.fieldBytes, low), how.bitInByte);
    if constexpr (spills)
      fields = _mm512_or_si512(
          fields, shiftRight(_mm512_maskz_permutexvar_epi8(how.ninthLaneMask, how.ninthOfLane, low), how.ninthShift));
  }
  _mm512_storeu_si512(to, shiftRight(fields, how.dropBits));
}

template <bool spills, bool twoRegisters>
[[VASKOR_AVX512_TARGET]] void unpackGroups(const Unpacking& how, int bitWidth, const uint8_t* in, int64_t* out,
                                           size_t groups) {
  const size_t stride = static_cast<size_t>(bitWidth);
  const size_t window = twoRegisters ? 128 : 64;
  const size_t total = groups * stride;
  // Groups whose window stays inside the input; the last few are read from
  // a copy with room behind it.
  const size_t direct = stepsInside(groups, stride, window);
  size_t g = 0;
#pragma GCC unroll 2
  for (; g < direct; ++g) unpackGroup<spills, twoRegisters>(how, in + g * stride, out + 8 * g);
  if (g == groups) return;
  alignas(64) uint8_t tail[2 * 128 + 64] = {};
  std::memcpy(tail, in + g * stride, total - g * stride);
  for (size_t t = 0; g < groups; ++g, ++t) unpackGroup<spills, twoRegisters>(how, tail + t * stride, out + 8 * g);
}

}  // namespace

[[VASKOR_AVX512_TARGET]] void packWideFields(int bitWidth, const int64_t* in, uint8_t* out, size_t groups) {
  __m512i unused = _mm512_setzero_si512();
  packAny<false>(bitWidth, in, out, groups, unused);
}

[[VASKOR_AVX512_TARGET]] int64_t packWideFieldsLargest(int bitWidth, const int64_t* in, uint8_t* out,
                                                       size_t groups) {
  __m512i top = _mm512_setzero_si512();
  packAny<true>(bitWidth, in, out, groups, top);
  alignas(64) int64_t lanes[8];
  _mm512_store_si512(lanes, top);
  return *std::max_element(lanes, lanes + 8);
}

[[VASKOR_AVX512_TARGET]] void unpackWideFields(int bitWidth, const uint8_t* in, int64_t* out, size_t groups) {
  const GroupPlan& plan = kPlans[bitWidth];
  const Unpacking how{loadPlan(plan.fieldBytes), loadPlan(plan.ninthOfLane), loadPlan(plan.bitInByte),
                      _mm512_sub_epi64(_mm512_set1_epi64(8), loadPlan(plan.bitInByte)),
                      _mm512_set1_epi64(64 - (bitWidth < 64 ? bitWidth : 64)), plan.ninthLaneMask};
  if (bitWidth == 65)
    unpackGroups<true, true>(how, bitWidth, in, out, groups);
  else if (plan.spills)
    unpackGroups<true, false>(how, bitWidth, in, out, groups);
  else
    unpackGroups<false, false>(how, bitWidth, in, out, groups);
}

}  // namespace vaskor::detail
