// The blocked encoder. Each block is read from memory once: its items
// become places in a stage in the first-level cache, its statistics come
// from one pass over that, every candidate scheme is sized exactly from
// them (with a pass of its own only where it needs one), and the block is
// packed from the stage into the open segment or a new one. Segment
// descriptions are written when a segment opens and completed when it
// closes; the index goes after the data, staged meanwhile at the end of
// the caller's storage.
#include "frame/blocked_encoder.hpp"

#include <algorithm>
#include <vector>

#include "detail/checked_size.hpp"
#include "detail/room.hpp"
#include "frame/header_fields.hpp"
#include "frame/layout_codec.hpp"
#include "frame/scheme_codec.hpp"
#include "frame/segment_index.hpp"

namespace vaskor::frame::detail {

namespace {

// The order candidates are proposed in (the dictionary last: it is tried
// only while it might win), and the order ties go by: cheaper to decode first.
constexpr Scheme kProposals[] = {Scheme::constant, Scheme::frameOfReference, Scheme::delta, Scheme::patched,
                                 Scheme::patchedDelta, Scheme::runLength, Scheme::dictionary};
constexpr Scheme kTieOrder[] = {Scheme::constant, Scheme::frameOfReference, Scheme::patched, Scheme::dictionary,
                                Scheme::runLength, Scheme::delta, Scheme::patchedDelta};

int tieRank(Scheme s) { return static_cast<int>(std::find(std::begin(kTieOrder), std::end(kTieOrder), s) - kTieOrder); }

// Per block: its own bytes at most, past a frame of the same values'
// items: a description and a first value, and what a join may add.
uint64_t blockOverhead(size_t itemBytes) { return 2 + 2 * itemBytes + kJoinSlack; }
// Per segment, at most one a block: the index (two fields of up to 64
// bits) and the staged entry it is written from.
constexpr uint64_t kSegmentOverhead = 16 + 8;

class Writer {
 public:
  Writer(ElementType type, Transform transform, uint8_t* out, uint64_t room, uint64_t count)
      : ring_(type),
        types_(frameLoops()[typeIndex(type)]),
        block_(ring_, blockLoops(), u_, o_),
        transform_(transform),
        type_(type),
        out_(out),
        at_(out + kHeaderSize),
        staged_(out + room - 8 * ((count + kBlockValues - 1) / kBlockValues)),
        count_(count) {}

  void add(const uint8_t* items, size_t n) {
    EncoderBlock& b = block_;
    b.n = n;
    b.s = types_.placesStats(items, n, u_);
    b.w = bitlen(b.s.umax - b.s.umin);
    b.wd = n >= 2 ? bitlen(b.s.omax - b.s.omin) : 0;
    b.samples = std::min<size_t>(n, kSampleSize);
    // Whole blocks take every 32nd value, with no division.
    const size_t step = n % b.samples == 0 ? n / b.samples : 0;
    for (size_t j = 0; j < b.samples; ++j) b.sample[j] = static_cast<uint32_t>(step ? j * step : j * n / b.samples);
    b.runCount = 0;
    b.differencesMade = false;
    b.codesValid = false;

    uint64_t joinCost = 0;
    const bool join = open_ && seg_.blocks < kSegmentBlocks && codec().fits(seg_, b, joinCost);
    Params best;
    uint64_t bestSize = ~uint64_t{0};
    for (Scheme s : kProposals) {
      if (!transformAllows(transform_, s)) continue;
      Params p;
      uint64_t size = 0;
      if (!schemeCodec(static_cast<uint8_t>(s))->propose(b, p, size, bestSize)) continue;
      if (size < bestSize || (size == bestSize && tieRank(s) < tieRank(best.scheme))) {
        best = p;
        bestSize = size;
      }
    }
    if (!join || joinCost > bestSize + kJoinSlack) {
      if (open_) close();
      openWith(best);
    }
    if (seg_.p.scheme == Scheme::delta || seg_.p.scheme == Scheme::patchedDelta) b.differences();
    at_ += codec().writeBlock(seg_, b, fields_, at_);
    ++seg_.blocks;
    seg_.values += n;
    ++blocks_;
  }

  uint64_t finish() {
    if (open_) close();
    const uint64_t data = at_ - (out_ + kHeaderSize);
    const uint64_t index = writeSegmentIndex(staged_, segments_, blocks_, data, at_);
    Header h{2, Layout::blocked, type_, transform_, 0, count_, 0, 0, segments_, data};
    writeCommonHeader(h, out_);
    out_[kBlockShiftAt] = kBlockShift;
    storeLE(out_ + kSegmentsAt, segments_, 8);
    storeLE(out_ + kDataBytesAt, data, 8);
    return kHeaderSize + data + index;
  }

 private:
  const SchemeCodec& codec() const { return *schemeCodec(static_cast<uint8_t>(seg_.p.scheme)); }

  void openWith(const Params& p) {
    schemeCodec(static_cast<uint8_t>(p.scheme))->open(seg_, p);
    block_.codesValid = false;
    seg_.begin = at_;
    seg_.blocks = seg_.values = 0;
    seg_.exceptions = 0;
    open_ = true;
    at_ += codec().writeDescription(seg_.p, ring_, at_);
  }

  void close() {
    at_ += codec().close(seg_, ring_, at_);
    storeLE(staged_ + 8 * segments_++, seg_.blocks << 32 | static_cast<uint64_t>(at_ - seg_.begin), 8);
    open_ = false;
  }

  const Ring ring_;
  const TypeLoops& types_;
  alignas(64) uint64_t u_[kBlockValues];
  alignas(64) uint64_t o_[kBlockValues];
  alignas(64) int64_t fields_[kBlockValues];
  EncoderBlock block_;
  OpenSegment seg_;
  bool open_ = false;
  const Transform transform_;
  const ElementType type_;
  uint8_t* const out_;
  uint8_t* at_;
  uint8_t* const staged_;
  const uint64_t count_;
  uint64_t segments_ = 0, blocks_ = 0;
};

}  // namespace

bool transformAllows(Transform t, Scheme s) {
  // The transform each scheme belongs to, from the table (0: either).
#define VASKOR_SCHEME_FAMILY_(c, cxx, byte, name, family) \
  if (s == Scheme::cxx) return t == Transform::perBlock || (family) == 0 || (family) == static_cast<int>(t);
  VASKOR_SCHEMES(VASKOR_SCHEME_FAMILY_)
#undef VASKOR_SCHEME_FAMILY_
  return false;
}

uint64_t maxBlockedFrameSize(ElementType type, uint64_t count) {
  using vaskor::detail::u128;
  const u128 blocks = (static_cast<u128>(count) + kBlockValues - 1) / kBlockValues;
  const size_t size = itemSize(type);
  return vaskor::detail::checkedCount(
      kHeaderSize + static_cast<u128>(count) * size + blocks * (blockOverhead(size) + kSegmentOverhead) + 2, 1);
}

uint64_t encodeBlocked(ElementType type, const void* values, uint64_t count, Options options, std::span<uint8_t> out) {
  const uint64_t most = maxBlockedFrameSize(type, count);
  if (out.size() < most) {
    std::vector<uint8_t> own(most);
    const uint64_t size = encodeBlocked(type, values, count, options, own);
    vaskor::detail::requireRoom(size, out.size(), "bytes");
    std::copy(own.begin(), own.begin() + static_cast<ptrdiff_t>(size), out.begin());
    return size;
  }
  Writer w(type, options.transform, out.data(), most, count);
  const auto* items = static_cast<const uint8_t*>(values);
  for (uint64_t at = 0; at < count; at += kBlockValues)
    w.add(items + at * itemSize(type), static_cast<size_t>(std::min<uint64_t>(kBlockValues, count - at)));
  return w.finish();
}

}  // namespace vaskor::frame::detail
