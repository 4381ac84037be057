#include "vaskor/ne.hpp"

#include <string>

#include "runtime/failure.hpp"
#include "vaskor/byte_order.hpp"
#include "vaskor/checked_size.hpp"
#include "vaskor/max_value.hpp"
#include "vaskor/utils.hpp"
#include "vaskor/whole_bytes.hpp"

namespace vaskor::ne {

std::vector<uint8_t> encode(std::span<const int64_t> s, int64_t& lo) {
  if (s.empty()) {
    lo = 1;
    return {};
  }
  // ceil(binLen * 0.125) is exact in doubles, so whole-number division does.
  const int64_t nb = (binLen(detail::maxFromZero(s.data(), s.size())) + 7) / 8;
  const uint64_t bytes = detail::checkedCount(static_cast<detail::u128>(s.size()) * nb, 1);
  std::vector<uint8_t> out(bytes);
  detail::packWhole(static_cast<int>(nb), s.data(), out.data(), s.size());
  lo = nb;
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
  if (l <= 0) raise<ValueError>("byte width must be positive, got " + std::to_string(l));

  const uint64_t width = static_cast<uint64_t>(l);
  const uint64_t count = detail::checkedCount(size / width + (size % width != 0), 8);
  std::vector<int64_t> out(count);
  if (width <= 8) {
    detail::unpackWhole(static_cast<int>(width), p, size, out.data());
    return out;
  }
  // Only the last 8 bytes of a wide group count; a short last group is read
  // from the bytes it has.
  const uint64_t whole = size / width;
  for (uint64_t g = 0; g < whole; ++g)
    out[g] = static_cast<int64_t>(detail::loadBE64(p + g * width + width - 8));
  if (whole < count)
    out[whole] = static_cast<int64_t>(detail::loadBETail(p + whole * width, size - whole * width));
  return out;
}

}  // namespace vaskor::ne
