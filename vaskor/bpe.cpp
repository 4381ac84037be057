#include "vaskor/bpe.hpp"

#include "runtime/failure.hpp"
#include "vaskor/bit_blocks.hpp"
#include "vaskor/bit_stream.hpp"
#include "vaskor/checked_size.hpp"
#include "vaskor/max_value.hpp"
#include "vaskor/utils.hpp"

namespace vaskor::bpe {

namespace {

using detail::kBlockFields;
using detail::kMaxBlockWidth;
using detail::u128;

constexpr auto kPack = detail::packTable(std::make_integer_sequence<int, kMaxBlockWidth>{});
constexpr auto kUnpack = detail::unpackTable(std::make_integer_sequence<int, kMaxBlockWidth>{});

// The first fields of a stream (fewer than a block) with the zero padding in
// front of them; `bytes` is the whole head, padding included.
void packHead(const int64_t* in, size_t fields, int w, uint8_t* out, size_t bytes) {
  detail::BitWriter bw(out);
  const int pad = static_cast<int>(bytes * 8 - fields * static_cast<size_t>(w));
  if (pad > 0) bw.put(0, pad);
  for (size_t k = 0; k < fields; ++k) {
    const uint64_t v = static_cast<uint64_t>(in[k]);
    if (w > 64) {
      bw.put(0, w - 64);
      bw.put(v, 64);
    } else {
      bw.put(w == 64 ? v : v & ((uint64_t{1} << w) - 1), w);
    }
  }
}

}  // namespace

std::vector<uint8_t> encode(std::span<const int64_t> s, int64_t& lo) {
  if (s.empty()) {
    lo = binLen(0) + 1;
    return {};
  }
  const int w = static_cast<int>(binLen(detail::maxFromZero(s.data(), s.size())) + 1);
  const size_t n = s.size();
  const uint64_t bytes = detail::checkedCount((static_cast<u128>(n) * w + 7) / 8, 1);
  std::vector<uint8_t> out(bytes);

  // The stream ends on a byte boundary and whole blocks are whole bytes, so
  // the blocks are the last n / 64 fields and the padding goes with the head.
  const size_t headFields = n % kBlockFields;
  const size_t headBytes = (headFields * static_cast<size_t>(w) + 7) / 8;
  packHead(s.data(), headFields, w, out.data(), headBytes);
  kPack[w](s.data() + headFields, out.data() + headBytes, n / kBlockFields);
  lo = w;
  return out;
}

std::vector<int64_t> decode(std::span<const uint8_t> i, int64_t l) {
  const uint8_t* p = i.data();
  size_t size = i.size();
  if (l == 0) {
    if (size == 0) return {};
    l = p[0];
    ++p;
    --size;
  }
  if (size == 0) return {};
  if (l == 0) raise<ValueError>("bit width must be positive, got 0");

  const u128 totalBits = static_cast<u128>(size) * 8;
  if (l < 0) {
    // The front cut keeps a whole number of |l| bits; any bit left means a
    // group is read, and an empty group can never match a negative width.
    const u128 magnitude = static_cast<u128>(-(l + 1)) + 1;
    check(totalBits < magnitude, "bpe(76, 18) `item.parseBin(iitem) == rl` ");
    return {};
  }

  const uint64_t width = static_cast<uint64_t>(l);
  const uint64_t count = detail::checkedCount(totalBits / width, 8);
  if (count == 0) return {};
  std::vector<int64_t> out(count);
  // The input lies in memory, so its bit count fits 64 bits from here on.
  const uint64_t cut = static_cast<uint64_t>(totalBits % width);

  if (width > static_cast<uint64_t>(kMaxBlockWidth)) {
    for (uint64_t g = 0; g < count; ++g)
      out[g] = static_cast<int64_t>(detail::readWideGroup(p, cut + g * width, width));
    return out;
  }
  // Groups end at the end of the data: the last count / 64 of them form
  // whole blocks, the rest come first, right after the cut.
  const uint64_t headGroups = count % kBlockFields;
  for (uint64_t g = 0; g < headGroups; ++g)
    out[g] = static_cast<int64_t>(detail::readGroup(p, cut + g * width, width));
  const uint64_t blocks = count / kBlockFields;
  kUnpack[width](p + size - blocks * 8 * width, out.data() + headGroups, blocks);
  return out;
}

}  // namespace vaskor::bpe
