// dictionary: a table of the segment's few distinct values (rising, stored
// as a reference and fields), and each block's codes into it.
#include <algorithm>

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
  for (uint64_t t = 0; t < s.entries; ++t) {
    table[t] = (s.reference + static_cast<uint64_t>(fields[t])) & r.mask;
    if (t > 0 && r.placeOfValue(table[t]) <= r.placeOfValue(table[t - 1]))
      corruptSegment(s, "table entries do not rise");
  }
  s.table = table;
  s.width = bitlen(s.entries - 1);
  return 4 + r.size + tableBytes;
}

uint64_t blockBytes(const SegmentView& s, uint64_t n, const Ring&) { return bytesFor(n, s.width); }
uint64_t noTail(const SegmentView&, const Ring&) { return 0; }

void decodeBlock(const SegmentView& s, const BlockOut& o, uint64_t j, uint64_t n) {
  readFields(s.blockAt(j), n, s.width, o.stage, s);
  uint64_t most = 0;
  for (uint64_t i = 0; i < n; ++i) most = std::max(most, static_cast<uint64_t>(o.stage[i]));
  if (most >= s.entries)
    corruptSegment(s, "code " + std::to_string(most) + " is past its table's " + std::to_string(s.entries) + " entries");
  uint64_t* bits = reinterpret_cast<uint64_t*>(o.stage);
  for (uint64_t i = 0; i < n; ++i) bits[i] = s.table[bits[i]];
  o.loops.storeBits(bits, n, o.out);
}

bool propose(EncoderBlock& b, Params& p, uint64_t& size, uint64_t best) {
  if (b.n < 2 || best <= bytesFor(b.n, 1)) return false;
  uint64_t sampled[kSampleSize];
  for (size_t j = 0; j < b.samples; ++j) sampled[j] = b.u[b.sample[j]];
  std::sort(sampled, sampled + b.samples);
  const size_t distinct = std::unique(sampled, sampled + b.samples) - sampled;
  if (2 * distinct > b.samples) return false;
  std::copy(b.u, b.u + b.n, b.candidateTable);
  std::sort(b.candidateTable, b.candidateTable + b.n);
  b.candidateEntries = std::unique(b.candidateTable, b.candidateTable + b.n) - b.candidateTable;
  const uint64_t t = b.candidateEntries;
  p = Params{Scheme::dictionary, bitlen(t - 1), bitlen(b.candidateTable[t - 1] - b.candidateTable[0])};
  p.entries = t;
  p.table = b.candidateTable;
  size = 4 + b.ring.size + bytesFor(t, p.w2) + bytesFor(b.n, p.w);
  return true;
}

bool fits(const OpenSegment& seg, EncoderBlock& b, uint64_t& cost) {
  const uint64_t* table = seg.p.table;
  const uint64_t t = seg.p.entries;
  cost = bytesFor(b.n, seg.p.w);
  if (b.s.umin < table[0] || b.s.umax > table[t - 1]) return false;
  for (size_t i = 0; i < b.n; ++i)
    if (!std::binary_search(table, table + t, b.u[i])) return false;
  return true;
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
  const uint64_t* table = seg.p.table;
  for (size_t i = 0; i < b.n; ++i) stage[i] = std::lower_bound(table, table + seg.p.entries, b.u[i]) - table;
  return writeFields(stage, b.n, seg.p.w, out);
}

size_t close(OpenSegment&, const Ring&, uint8_t*) { return 0; }

}  // namespace

const SchemeCodec dictionaryScheme{Scheme::dictionary, &describe, &blockBytes, &noTail, nullptr, &decodeBlock,
                                   &propose, &fits, &writeDescription, &writeBlock, &close};

}  // namespace vaskor::frame::detail
