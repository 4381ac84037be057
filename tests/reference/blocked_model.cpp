#include "tests/reference/blocked_model.hpp"

#include <algorithm>
#include <optional>
#include <set>

namespace vaskor_ref {

namespace {

using u64 = uint64_t;

enum Scheme { kConstant = 1, kFor, kDelta, kPatched, kPatchedDelta, kDictionary, kRle };
// Ties go to the scheme cheaper to decode, first in this list.
const int kTieOrder[] = {kConstant, kFor, kPatched, kDictionary, kRle, kDelta, kPatchedDelta};

int tieRank(int scheme) {
  for (int r = 0; r < 7; ++r)
    if (kTieOrder[r] == scheme) return r;
  return 7;
}

int bitlen(u64 x) {
  int n = 0;
  for (; x != 0; x >>= 1) ++n;
  return n;
}

u64 bytesFor(u64 m, int w) { return (m * static_cast<u64>(w) + 7) / 8; }

bool below2(u64 x, int w) { return w >= 64 || x < (u64{1} << w); }

// The type's ring: u is a value's place in the type's order, o a
// difference's place among the differences.
struct Ring {
  int size, k;
  u64 mask, sign;
  bool isSigned;
  Ring(int s, bool sg) : size(s), k(8 * s), mask(s == 8 ? ~u64{0} : (u64{1} << (8 * s)) - 1), sign(u64{1} << (8 * s - 1)), isSigned(sg) {}
  u64 toU(u64 v) const { return ((isSigned ? v ^ sign : v)) & mask; }
  u64 fromU(u64 u) const { return (isSigned ? u ^ sign : u) & mask; }
  // The difference a - b as a signed k-bit number, by its place.
  u64 diffPlace(u64 a, u64 b) const { return (((a - b) & mask) ^ sign) & mask; }
  u64 diffOf(u64 place) const { return (place ^ sign) & mask; }
};

// The window start for [lo, hi] at width w: the value with the most low
// zero bits that still lets [start, start + 2^w) cover them.
u64 align(u64 lo, u64 hi, int w, int k) {
  u64 floor = 0;
  if (w < 64 && hi >= (u64{1} << w) - 1) floor = hi - ((u64{1} << w) - 1);
  for (int t = k; t >= 0; --t) {
    const u64 r = t >= 64 ? 0 : lo & ~((u64{1} << t) - 1);
    if (r >= floor) return r;
  }
  return lo;
}

void putLE(std::vector<uint8_t>& out, u64 v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A stream of fields at w bits: zero padding in front, most significant bit first.
void putStream(std::vector<uint8_t>& out, const std::vector<u64>& fields, int w) {
  std::vector<int> bits((8 - fields.size() * w % 8) % 8, 0);
  for (u64 f : fields)
    for (int b = w - 1; b >= 0; --b) bits.push_back(static_cast<int>((f >> b) & 1));
  for (size_t at = 0; at < bits.size(); at += 8) {
    int byte = 0;
    for (int j = 0; j < 8; ++j) byte = byte * 2 + bits[at + j];
    out.push_back(static_cast<uint8_t>(byte));
  }
}

// A segment's scheme and parameters: what opens it and what later blocks
// must fit. References are places (values: u; differences: o).
struct Params {
  int scheme = 0;
  int w = 0, w2 = 0;
  u64 ref = 0, ref2 = 0;
  u64 runs = 0;
  std::vector<u64> table;
};

struct Candidate {
  Params p;
  u64 size = 0;
};

struct Block {
  const Ring& r;
  std::vector<u64> u;      // places of the values
  std::vector<u64> o;      // places of the differences, o[0] unused
  std::vector<u64> sample;  // sample positions
  u64 umin = 0, umax = 0, omin = 0, omax = 0;
  int w = 0, wd = 0;
  std::vector<u64> runValues, runLengths;

  Block(const Ring& ring, const std::vector<u64>& values) : r(ring) {
    for (u64 v : values) u.push_back(r.toU(v));
    const u64 n = u.size();
    umin = *std::min_element(u.begin(), u.end());
    umax = *std::max_element(u.begin(), u.end());
    w = bitlen(umax - umin);
    o.assign(n, 0);
    for (u64 i = 1; i < n; ++i) o[i] = r.diffPlace(values[i], values[i - 1]);
    if (n >= 2) {
      omin = *std::min_element(o.begin() + 1, o.end());
      omax = *std::max_element(o.begin() + 1, o.end());
      wd = bitlen(omax - omin);
    }
    const u64 s = std::min<u64>(n, 32);
    for (u64 j = 0; j < s; ++j) sample.push_back(j * n / s);
    for (u64 i = 0; i < n; ++i) {
      if (i == 0 || u[i] != u[i - 1]) {
        runValues.push_back(u[i]);
        runLengths.push_back(0);
      }
      ++runLengths.back();
    }
  }
  u64 n() const { return u.size(); }
};

bool inWindow(u64 x, u64 ref, int w) { return x >= ref && below2(x - ref, w); }

// Values (or differences, from position 1) outside the window.
u64 outside(const std::vector<u64>& xs, size_t from, u64 ref, int w) {
  u64 e = 0;
  for (size_t i = from; i < xs.size(); ++i) e += inWindow(xs[i], ref, w) ? 0 : 1;
  return e;
}

// What lies beyond a window's width w: the high bits of each exception's
// offset from the window, and their width.
u64 overflow(u64 x, u64 ref, int w, const Ring& r) { return ((x - ref) & r.mask) >> w; }

int overflowWidth(const std::vector<u64>& xs, size_t from, u64 ref, int w, const Ring& r) {
  u64 most = 0;
  for (size_t i = from; i < xs.size(); ++i)
    if (!inWindow(xs[i], ref, w)) most = std::max(most, overflow(xs[i], ref, w, r));
  return bitlen(most);
}

// Patched on xs[from..] (values from 0, differences from 1), lo..hi their
// range at width wAll: on each side whose second largest sampled distance
// is narrower than wAll, the windows as wide as the 2nd, 4th and 8th
// largest, the smallest (low side, then the wider window, on a tie).
std::optional<Candidate> patchedOn(const Block& b, const std::vector<u64>& xs, size_t from, u64 lo, u64 hi, int wAll,
                                   int scheme, u64 fixed) {
  std::vector<u64> positions;
  for (u64 p : b.sample) positions.push_back(std::max<u64>(p, from));
  if (positions.size() < 2) return std::nullopt;
  std::optional<Candidate> best;
  for (int side = 0; side < 2; ++side) {
    std::vector<u64> dist;
    for (u64 p : positions) dist.push_back(side == 0 ? xs[p] - lo : hi - xs[p]);
    std::sort(dist.begin(), dist.end(), [](u64 x, u64 y) { return x > y; });
    // A side is tried only when leaving out its largest sampled distance
    // narrows the window.
    if (bitlen(dist[1]) >= wAll) continue;
    int tried = -1;
    for (size_t k : {1, 3, 7}) {
      if (k >= dist.size()) break;
      const int bw = bitlen(dist[k]);
      if (bw >= wAll || bw == tried) continue;
      tried = bw;
      u64 inLo = ~u64{0}, inHi = 0;
      for (size_t i = from; i < xs.size(); ++i) {
        const u64 d = side == 0 ? xs[i] - lo : hi - xs[i];
        if (!below2(d, bw)) continue;
        inLo = std::min(inLo, xs[i]);
        inHi = std::max(inHi, xs[i]);
      }
      Candidate c;
      c.p.scheme = scheme;
      c.p.w = bitlen(inHi - inLo);
      c.p.ref = align(inLo, inHi, c.p.w, b.r.k);
      c.p.w2 = overflowWidth(xs, from, c.p.ref, c.p.w, b.r);
      const u64 e = outside(xs, from, c.p.ref, c.p.w);
      c.size = fixed + bytesFor(b.n(), c.p.w) + 2 * e + bytesFor(e, c.p.w2);
      if (!best || c.size < best->size) best = c;
    }
  }
  return best;
}

bool allowed(int transform, int scheme) {
  if (transform == 3 || scheme == kConstant) return true;
  const bool deltaFamily = scheme == kDelta || scheme == kPatchedDelta;
  return (transform == 2) == deltaFamily;
}

Candidate ownBest(const Block& b, int transform) {
  const int I = b.r.size;
  const u64 n = b.n();
  std::vector<Candidate> cs;
  auto add = [&](const Candidate& c) {
    if (allowed(transform, c.p.scheme)) cs.push_back(c);
  };
  if (b.umin == b.umax) add({{kConstant, 0, 0, b.umin}, 1u + I});
  add({{kFor, b.w, 0, align(b.umin, b.umax, b.w, b.r.k)}, 2u + I + bytesFor(n, b.w)});
  if (n >= 2) {
    add({{kDelta, b.wd, 0, align(b.omin, b.omax, b.wd, b.r.k)}, 2u + 2 * I + bytesFor(n, b.wd)});
    if (b.w >= 1)
      if (auto c = patchedOn(b, b.u, 0, b.umin, b.umax, b.w, kPatched, 5u + I)) add(*c);
    if (b.wd >= 1)
      if (auto c = patchedOn(b, b.o, 1, b.omin, b.omax, b.wd, kPatchedDelta, 5u + 2 * I)) add(*c);
  }
  const u64 k = b.runValues.size();
  if (2 * k <= n) {
    Candidate c;
    c.p.scheme = kRle;
    c.p.runs = k;
    const u64 rlo = *std::min_element(b.runValues.begin(), b.runValues.end());
    const u64 rhi = *std::max_element(b.runValues.begin(), b.runValues.end());
    const u64 llo = *std::min_element(b.runLengths.begin(), b.runLengths.end());
    const u64 lhi = *std::max_element(b.runLengths.begin(), b.runLengths.end());
    c.p.w = bitlen(rhi - rlo);
    c.p.ref = align(rlo, rhi, c.p.w, b.r.k);
    c.p.w2 = bitlen(lhi - llo);
    c.p.ref2 = llo;
    c.size = 7u + I + bytesFor(k, c.p.w) + bytesFor(k, c.p.w2);
    add(c);
  }
  u64 best = ~u64{0};
  for (const Candidate& c : cs) best = std::min(best, c.size);
  // A dictionary is tried when the sample's repeats suggest a table (of
  // about s^2 / (2 repeats) entries) whose codes are 2 bits narrower than
  // the values, and no candidate is down to a bit a value already.
  std::set<u64> sampled;
  for (u64 p : b.sample) sampled.insert(b.u[p]);
  const u64 s = b.sample.size(), repeats = s - sampled.size();
  if (n >= 2 && repeats > 0 && bitlen(s * s / (2 * repeats)) + 2 <= b.w && best > bytesFor(n, 1)) {
    Candidate c;
    c.p.scheme = kDictionary;
    const std::set<u64> distinct(b.u.begin(), b.u.end());
    c.p.table.assign(distinct.begin(), distinct.end());
    c.p.w = bitlen(c.p.table.size() - 1);
    c.p.w2 = bitlen(c.p.table.back() - c.p.table.front());
    c.size = 4u + I + bytesFor(c.p.table.size(), c.p.w2) + bytesFor(n, c.p.w);
    add(c);
  }
  Candidate chosen = cs.front();
  for (const Candidate& c : cs)
    if (c.size < chosen.size || (c.size == chosen.size && tieRank(c.p.scheme) < tieRank(chosen.p.scheme))) chosen = c;
  return chosen;
}

struct Segment {
  Params p;
  std::vector<uint8_t> description;
  std::vector<uint8_t> blocks;
  std::vector<std::pair<u64, u64>> exceptions;  // position in the segment, overflow
  u64 blockCount = 0, values = 0;
};

// What the block costs in the open segment, if it fits there.
std::optional<u64> joinCost(const Segment& s, const Block& b) {
  const int I = b.r.size;
  const u64 n = b.n();
  const Params& p = s.p;
  switch (p.scheme) {
    case kConstant:
      if (b.umin == b.umax && b.umin == p.ref) return 0;
      return std::nullopt;
    case kFor:
      if (outside(b.u, 0, p.ref, p.w) == 0) return bytesFor(n, p.w);
      return std::nullopt;
    case kDelta:
      if (outside(b.o, 1, p.ref, p.w) == 0) return I + bytesFor(n, p.w);
      return std::nullopt;
    case kPatched:
    case kPatchedDelta: {
      const bool delta = p.scheme == kPatchedDelta;
      const std::vector<u64>& xs = delta ? b.o : b.u;
      const u64 e = outside(xs, delta ? 1 : 0, p.ref, p.w), had = s.exceptions.size();
      if (had + e > 1024 || overflowWidth(xs, delta ? 1 : 0, p.ref, p.w, b.r) > p.w2) return std::nullopt;
      return (delta ? I : 0) + bytesFor(n, p.w) + 2 * e + bytesFor(had + e, p.w2) - bytesFor(had, p.w2);
    }
    case kDictionary:
      for (u64 x : b.u)
        if (!std::binary_search(p.table.begin(), p.table.end(), x)) return std::nullopt;
      return bytesFor(n, p.w);
    case kRle:
      if (b.runValues.size() != p.runs || outside(b.runValues, 0, p.ref, p.w) != 0 ||
          outside(b.runLengths, 0, p.ref2, p.w2) != 0)
        return std::nullopt;
      return bytesFor(p.runs, p.w) + bytesFor(p.runs, p.w2);
  }
  return std::nullopt;
}

void describe(Segment& s, const Ring& r) {
  const Params& p = s.p;
  std::vector<uint8_t>& d = s.description;
  d.push_back(static_cast<uint8_t>(p.scheme));
  switch (p.scheme) {
    case kConstant:
      putLE(d, r.fromU(p.ref), r.size);
      break;
    case kFor:
    case kPatched:
      d.push_back(static_cast<uint8_t>(p.w));
      putLE(d, r.fromU(p.ref), r.size);
      break;
    case kDelta:
    case kPatchedDelta:
      d.push_back(static_cast<uint8_t>(p.w));
      putLE(d, r.diffOf(p.ref), r.size);
      break;
    case kDictionary: {
      d.push_back(static_cast<uint8_t>(p.w2));
      putLE(d, p.table.size(), 2);
      putLE(d, r.fromU(p.table.front()), r.size);
      std::vector<u64> fields;
      for (u64 t : p.table) fields.push_back(t - p.table.front());
      putStream(d, fields, p.w2);
      break;
    }
    case kRle:
      d.push_back(static_cast<uint8_t>(p.w));
      d.push_back(static_cast<uint8_t>(p.w2));
      putLE(d, p.runs, 2);
      putLE(d, r.fromU(p.ref), r.size);
      putLE(d, p.ref2, 2);
      break;
  }
  if (p.scheme == kPatched || p.scheme == kPatchedDelta) {
    putLE(d, 0, 2);  // E, set when it closes
    d.push_back(static_cast<uint8_t>(p.w2));
  }
}

void append(Segment& s, const Block& b, const std::vector<u64>& values) {
  const Params& p = s.p;
  const Ring& r = b.r;
  const u64 n = b.n();
  std::vector<u64> fields;
  switch (p.scheme) {
    case kConstant:
      break;
    case kFor:
    case kPatched:
      for (u64 i = 0; i < n; ++i) {
        // An exception keeps its low bits in its field, its overflow apart.
        fields.push_back((b.u[i] - p.ref) & (p.w >= 64 ? ~u64{0} : (u64{1} << p.w) - 1));
        if (!inWindow(b.u[i], p.ref, p.w)) s.exceptions.push_back({s.values + i, overflow(b.u[i], p.ref, p.w, r)});
      }
      putStream(s.blocks, fields, p.w);
      break;
    case kDelta:
    case kPatchedDelta:
      putLE(s.blocks, values[0], r.size);
      fields.push_back(0);
      for (u64 i = 1; i < n; ++i) {
        fields.push_back((b.o[i] - p.ref) & (p.w >= 64 ? ~u64{0} : (u64{1} << p.w) - 1));
        if (!inWindow(b.o[i], p.ref, p.w)) s.exceptions.push_back({s.values + i, overflow(b.o[i], p.ref, p.w, r)});
      }
      putStream(s.blocks, fields, p.w);
      break;
    case kDictionary:
      for (u64 x : b.u) fields.push_back(std::lower_bound(p.table.begin(), p.table.end(), x) - p.table.begin());
      putStream(s.blocks, fields, p.w);
      break;
    case kRle: {
      for (u64 x : b.runValues) fields.push_back(x - p.ref);
      putStream(s.blocks, fields, p.w);
      std::vector<u64> lengths;
      for (u64 l : b.runLengths) lengths.push_back(l - p.ref2);
      putStream(s.blocks, lengths, p.w2);
      break;
    }
  }
  ++s.blockCount;
  s.values += n;
}

// The segment's bytes once it closes.
std::vector<uint8_t> close(Segment& s, const Ring& r) {
  std::vector<uint8_t> out = s.description;
  std::vector<u64> overflows;
  if (s.p.scheme == kPatched || s.p.scheme == kPatchedDelta) {
    const u64 e = s.exceptions.size();
    out[out.size() - 3] = static_cast<uint8_t>(e);
    out[out.size() - 2] = static_cast<uint8_t>(e >> 8);
    for (const auto& x : s.exceptions) overflows.push_back(x.second);
  }
  out.insert(out.end(), s.blocks.begin(), s.blocks.end());
  for (const auto& x : s.exceptions) putLE(out, x.first, 2);
  putStream(out, overflows, s.p.w2);
  return out;
}

u64 getLE(const std::vector<uint8_t>& f, u64 at, int bytes) {
  u64 v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | f[at + i];
  return v;
}

// Field i of a stream of m fields at w bits starting at byte `at`.
u64 field(const std::vector<uint8_t>& f, u64 at, u64 m, int w, u64 i) {
  const u64 pad = bytesFor(m, w) * 8 - m * w;
  u64 v = 0;
  for (int b = 0; b < w; ++b) {
    const u64 bit = pad + i * w + b;
    v = (v << 1) | ((f[at + bit / 8] >> (7 - bit % 8)) & 1);
  }
  return v;
}

}  // namespace

std::vector<uint8_t> blockedEncode(const BlockedChoice& c, const std::vector<uint64_t>& values) {
  const Ring r(c.size, c.isSigned);
  std::vector<uint8_t> data;
  std::vector<u64> blockEnds, byteEnds;
  std::optional<Segment> open;
  u64 blocks = 0;
  auto finish = [&] {
    const std::vector<uint8_t> bytes = close(*open, r);
    data.insert(data.end(), bytes.begin(), bytes.end());
    blockEnds.push_back(blocks);
    byteEnds.push_back(data.size());
    open.reset();
  };
  for (u64 at = 0; at < values.size(); at += 1024) {
    const std::vector<u64> v(values.begin() + at, values.begin() + std::min<u64>(values.size(), at + 1024));
    const Block b(r, v);
    const Candidate own = ownBest(b, c.transform);
    std::optional<u64> join;
    if (open && open->blockCount < 64) join = joinCost(*open, b);
    if (!join || *join > own.size + 4) {
      if (open) finish();
      open.emplace();
      open->p = own.p;
      describe(*open, r);
    }
    append(*open, b, v);
    ++blocks;
  }
  if (open) finish();

  std::vector<uint8_t> out = {'V', 'S', 'K', 'F', 2, 3, static_cast<uint8_t>(c.size | (c.isSigned ? 0 : 0x10)),
                              static_cast<uint8_t>(c.transform), 10, 0, 0, 0, 0, 0, 0, 0};
  putLE(out, values.size(), 8);
  putLE(out, blockEnds.size(), 8);
  putLE(out, data.size(), 8);
  out.insert(out.end(), data.begin(), data.end());
  putStream(out, blockEnds, bitlen(blocks));
  putStream(out, byteEnds, bitlen(data.size()));
  return out;
}

std::vector<uint64_t> blockedDecode(const std::vector<uint8_t>& f) {
  const int size = f[6] & 0x0f;
  const Ring r(size, (f[6] & 0x10) == 0);
  const u64 count = getLE(f, 16, 8), segments = getLE(f, 24, 8), dataBytes = getLE(f, 32, 8);
  const u64 blocks = (count + 1023) / 1024;
  const u64 blockEndsAt = 40 + dataBytes;
  const u64 byteEndsAt = blockEndsAt + bytesFor(segments, bitlen(blocks));
  std::vector<u64> out;
  u64 block = 0, start = 40;
  for (u64 s = 0; s < segments; ++s) {
    const u64 endBlock = field(f, blockEndsAt, segments, bitlen(blocks), s);
    const int scheme = f[start];
    u64 at = start + 1;
    int w = 0, w2 = 0;
    u64 ref = 0, ref2 = 0, entries = 0, tableAt = 0;
    switch (scheme) {
      case kConstant: ref = getLE(f, at, size); at += size; break;
      case kFor: case kDelta: w = f[at]; ref = getLE(f, at + 1, size); at += 1 + size; break;
      case kPatched: case kPatchedDelta:
        w = f[at]; ref = getLE(f, at + 1, size); entries = getLE(f, at + 1 + size, 2); w2 = f[at + 3 + size];
        at += 4 + size; break;
      case kDictionary:
        w2 = f[at]; entries = getLE(f, at + 1, 2); ref = getLE(f, at + 3, size); tableAt = at + 3 + size;
        at = tableAt + bytesFor(entries, w2); w = bitlen(entries - 1); break;
      case kRle:
        w = f[at]; w2 = f[at + 1]; entries = getLE(f, at + 2, 2); ref = getLE(f, at + 4, size);
        ref2 = getLE(f, at + 4 + size, 2); at += 6 + size; break;
    }
    const u64 segFirst = out.size();
    for (; block < endBlock; ++block) {
      const u64 n = std::min<u64>(1024, count - block * 1024);
      switch (scheme) {
        case kConstant: out.insert(out.end(), n, ref); break;
        case kFor: case kPatched:
          for (u64 i = 0; i < n; ++i) out.push_back((ref + field(f, at, n, w, i)) & r.mask);
          at += bytesFor(n, w);
          break;
        case kDelta: case kPatchedDelta: {
          u64 v = getLE(f, at, size);
          at += size;
          out.push_back(v);
          for (u64 i = 1; i < n; ++i) out.push_back(v = (v + ref + field(f, at, n, w, i)) & r.mask);
          at += bytesFor(n, w);
          break;
        }
        case kDictionary:
          for (u64 i = 0; i < n; ++i) out.push_back((ref + field(f, tableAt, entries, w2, field(f, at, n, w, i))) & r.mask);
          at += bytesFor(n, w);
          break;
        case kRle: {
          const u64 lengthsAt = at + bytesFor(entries, w);
          for (u64 j = 0; j < entries; ++j)
            out.insert(out.end(), ref2 + field(f, lengthsAt, entries, w2, j), (ref + field(f, at, entries, w, j)) & r.mask);
          at = lengthsAt + bytesFor(entries, w2);
          break;
        }
      }
    }
    // Exceptions: overflows of values, or of differences that the rest of
    // their block follows.
    for (u64 e = 0; e < entries && (scheme == kPatched || scheme == kPatchedDelta); ++e) {
      const u64 p = segFirst + getLE(f, at + 2 * e, 2);
      const u64 add = (field(f, at + 2 * entries, entries, w2, e) << w) & r.mask;
      for (u64 i = p; i < out.size() && (i == p || (scheme == kPatchedDelta && i % 1024 != 0)); ++i)
        out[i] = (out[i] + add) & r.mask;
    }
    start = 40 + field(f, byteEndsAt, segments, bitlen(dataBytes), s);
  }
  return out;
}

}  // namespace vaskor_ref
