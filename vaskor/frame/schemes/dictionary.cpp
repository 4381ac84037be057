// dictionary: a table of the segment's few distinct values (rising, stored
// as a reference and fields), and each block's codes into it.
#include <algorithm>
#include <bit>

#include "frame/schemes/description.hpp"

namespace vaskor::frame::detail {

namespace {

size_t describe(SegmentView& s, const uint8_t* p, const Ring& r, uint64_t* table) {
  needDescription(s, p, 4 + r.size);
  s.width2 = widthIn(s, p[1], r.k, "table width");
  s.entries = loadLE(p + 2, 2);
  if (s.entries == 0 || s.entries > kMaxEntries)
    corruptSegment(s, "table of " + std::to_string(s.entries) + " entries (1 to " + std::to_string(kMaxEntries) + ")");
  s.reference = loadLE(p + 4, r.size);
  const uint64_t tableBytes = bytesFor(s.entries, s.width2);
  needDescription(s, p, 4 + r.size + tableBytes);
  // The table's fields, read in place of the values they make.
  int64_t* fields = reinterpret_cast<int64_t*>(table);
  readFields(p + 4 + r.size, s.entries, s.width2, fields, s);
  for (uint64_t t = 0; t < s.entries; ++t) table[t] = (s.reference + static_cast<uint64_t>(fields[t])) & r.mask;
  if (!s.checked)
    for (uint64_t t = 1; t < s.entries; ++t)
      if (r.placeOfValue(table[t]) <= r.placeOfValue(table[t - 1])) corruptSegment(s, "table entries do not rise");
  s.table = table;
  s.width = bitlen(s.entries - 1);
  return 4 + r.size + tableBytes;
}

uint64_t blockBytes(const SegmentView& s, uint64_t n, const Ring&) { return bytesFor(n, s.width); }
uint64_t noTail(const SegmentView&, const Ring&) { return 0; }

void decodeBlock(const SegmentView& s, const BlockOut& o, uint64_t j, uint64_t n) {
  readFields(s.blockAt(j), n, s.width, o.stage, s);
  uint64_t* items = o.direct();
  uint64_t* bits = items != nullptr ? items : reinterpret_cast<uint64_t*>(o.stage + kBlockValues);
  const uint64_t most = o.block.lookUp(o.stage, n, s.table, s.entries, bits);
  if (most >= s.entries)
    corruptSegment(s, "code " + std::to_string(most) + " is past its table's " + std::to_string(s.entries) + " entries");
  if (items == nullptr) o.loops.storeBits(bits, n, o.out);
}

// The most entries t for which fixed + t entries of w bits + n codes is no
// larger than best (0: none).
size_t mostEntries(uint64_t n, int w, uint64_t fixed, uint64_t best) {
  if (w == 0) return fixed + bytesFor(n, 0) <= best ? 1 : 0;
  size_t most = 0;
  for (int cw = 0; cw <= bitlen(kMaxEntries - 1); ++cw) {
    const uint64_t used = fixed + bytesFor(n, cw);
    if (used > best) break;
    const uint64_t room = std::min<uint64_t>(best - used, 8 * kMaxEntries);  // best may be unbounded
    const uint64_t t = std::min<uint64_t>({room * 8 / static_cast<uint64_t>(w), uint64_t{1} << cw, kMaxEntries});
    if (t > (cw == 0 ? 0 : uint64_t{1} << (cw - 1))) most = static_cast<size_t>(t);
  }
  return most;
}

bool propose(EncoderBlock& b, Params& p, uint64_t& size, uint64_t best) {
  // Tried when the sample's values repeat, and a table of the size the
  // repeats suggest (s^2 / (2 repeats) entries, at the values' width) with
  // its codes would be smaller than the best so far. The sampled values
  // counted in a set of 64 slots, probed from a multiplicative hash.
  if (b.n < 2) return false;
  uint64_t slot[64];
  uint64_t taken = 0;
  size_t distinct = 0;
  for (size_t j = 0; j < b.samples; ++j) {
    const uint64_t x = b.u[b.sample[j]];
    unsigned h = static_cast<unsigned>((x * 0x9E3779B97F4A7C15u) >> 58);
    while ((taken >> h & 1) != 0 && slot[h] != x) h = (h + 1) & 63;
    if ((taken >> h & 1) != 0) continue;
    taken |= uint64_t{1} << h;
    slot[h] = x;
    ++distinct;
  }
  const uint64_t repeats = b.samples - distinct;
  if (repeats == 0) return false;
  const uint64_t guess = b.samples * b.samples / (2 * repeats);
  if (guess * static_cast<uint64_t>(b.w) + b.n * static_cast<uint64_t>(bitlen(guess - 1)) >= 8 * best) return false;
  // The table holds the block's distinct values, so its width is the
  // block's; the most entries that could still tie the best bound the count.
  const uint64_t fixed = 4 + b.ring.size;
  const size_t most = mostEntries(b.n, b.w, fixed, best);
  if (most == 0) return false;
  size_t t = 0;
  if (b.codesValid) {
    // Coded in the open segment's table already: its own values are the
    // entries its codes use.
    for (size_t w = 0; w < kMaxEntries / 64; ++w)
      for (uint64_t bits = b.used[w]; bits != 0; bits &= bits - 1)
        b.candidateTable[t++] = b.codedTable[64 * w + static_cast<size_t>(std::countr_zero(bits))];
    if (t > most) return false;
  } else {
    t = DictionaryIndex::distinct(b.u, b.n, b.candidateTable, most);
    if (t > most) return false;
  }
  // Unordered until the table is opened.
  b.candidateEntries = t;
  p = Params{Scheme::dictionary, bitlen(t - 1), b.w};
  p.entries = t;
  p.table = b.candidateTable;
  size = fixed + bytesFor(t, p.w2) + bytesFor(b.n, p.w);
  return true;
}

// The codes of the block's places in the segment's table, and the entries used.
bool codesIn(const OpenSegment& seg, const EncoderBlock& b, uint16_t* codes, uint64_t* used) {
  const uint64_t t = seg.p.entries;
  if (t > kSmallTable) return seg.dictionary.codes(b.u, b.n, codes, used);
  std::fill(used, used + kMaxEntries / 64, 0);
  return b.loops.smallCodes(b.u, b.n, seg.p.table, t, codes, used);
}

bool fits(const OpenSegment& seg, EncoderBlock& b, uint64_t& cost) {
  const uint64_t* table = seg.p.table;
  cost = bytesFor(b.n, seg.p.w);
  if (b.s.umin < table[0] || b.s.umax > table[seg.p.entries - 1] || !codesIn(seg, b, b.codes, b.used)) return false;
  b.codesValid = true;
  b.codedTable = table;
  return true;
}

void open(OpenSegment& seg, const Params& p) {
  seg.p = p;
  std::copy(p.table, p.table + p.entries, seg.table);
  std::sort(seg.table, seg.table + p.entries);
  seg.p.table = seg.table;
  if (p.entries > kSmallTable) seg.dictionary.build(seg.table, p.entries);
}

size_t writeDescription(const Params& p, const Ring& r, uint8_t* out) {
  out[0] = static_cast<uint8_t>(Scheme::dictionary);
  out[1] = static_cast<uint8_t>(p.w2);
  storeLE(out + 2, p.entries, 2);
  storeLE(out + 4, r.valueOfPlace(p.table[0]), r.size);
  int64_t fields[kMaxEntries];
  for (uint64_t t = 0; t < p.entries; ++t) fields[t] = static_cast<int64_t>(p.table[t] - p.table[0]);
  return 4 + r.size + writeFields(fields, p.entries, p.w2, out + 4 + r.size);
}

size_t writeBlock(OpenSegment& seg, const EncoderBlock& b, int64_t* stage, uint8_t* out) {
  uint16_t own[kBlockValues];
  uint64_t used[kMaxEntries / 64];
  const uint16_t* codes = b.codes;
  if (!b.codesValid) {
    codesIn(seg, b, own, used);
    codes = own;
  }
  for (size_t i = 0; i < b.n; ++i) stage[i] = codes[i];
  return writeFields(stage, b.n, seg.p.w, out);
}

size_t close(OpenSegment&, const Ring&, uint8_t*) { return 0; }

}  // namespace

const SchemeCodec dictionaryScheme{Scheme::dictionary, &describe, &blockBytes, &noTail, nullptr, &decodeBlock,
                                   &propose, &fits, &open, &writeDescription, &writeBlock, &close};

}  // namespace vaskor::frame::detail
