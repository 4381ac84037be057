// The functions both raw formats offer (codec_functions.inc), written once
// over a format (private). A format `F` supplies what differs between them:
//
//   int F::widthFor(int64_t largest)   its width rule
//   int F::emptyWidth()                the width an empty input reports
//   u128 F::bytesFor(u128 n, uint64_t width)   packed size, unchecked
//   F::kWidest                         the widest width any input needs
//   F::kChunkValues                    values checked per step packing under a guess
//   F::kScanFirstUpTo                  inputs up to this size are scanned for
//                                      their width before packing
//   F::kSinkChunkValues, F::kSpanRoom  the decoders' piece sizes (value_out.hpp)
//   size_t F::pack(in, n, w, from, to, verify, out)   packs [from, to) of n
//        values as packWithWidth's `pack` does (width_choice.hpp)
//   void F::place(Groups&, int64_t l)  checks a decode of width l != 0 (or
//        the width byte's) with data left, and fills width, count and cut
//   uint64_t F::pieceEnd(const Groups&, uint64_t k, uint64_t room)
//        where the piece of at most `room` values from group k ends
//   void F::unpackPiece(const Groups&, uint64_t k, uint64_t end, int64_t* out)
//        unpacks the groups [k, end) of a piece
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "detail/checked_size.hpp"
#include "detail/kernels.hpp"
#include "detail/room.hpp"
#include "detail/value_out.hpp"
#include "detail/width_byte.hpp"
#include "detail/width_choice.hpp"
#include "vaskor/value_sink.hpp"

namespace vaskor::detail {

// Where the groups of a checked decode lie.
struct Groups {
  const uint8_t* p;
  size_t size;     // bytes after any width byte
  uint64_t width;  // in the format's unit
  uint64_t count;
  uint64_t cut;  // leading bits that belong to no group
};

template <class F>
struct CodecBody {
  // Decodes of at most this many values skip the sink's staging buffer.
  static constexpr uint64_t kFewValues = 16;

  static uint64_t packedSize(uint64_t n, int64_t width) {
    return checkedCount(F::bytesFor(n, static_cast<uint64_t>(width)), 1);
  }

  static uint64_t maxPackedSize(uint64_t n) { return packedSize(n, F::kWidest); }

  static int64_t widthOf(int64_t largest) { return F::widthFor(largest); }

  static int64_t widthOf(std::span<const int64_t> s) {
    return F::widthFor(s.empty() ? 0 : kernels().maxFromZero(s.data(), s.size()));
  }

  static void packInto(std::span<const int64_t> s, int64_t width, uint8_t* out) {
    F::pack(s.data(), s.size(), static_cast<int>(width), 0, s.size(), false, out);
  }

  static uint64_t encodeInto(std::span<const int64_t> s, std::span<uint8_t> out, int64_t& width) {
    const size_t n = s.size();
    if (n == 0) {
      width = F::emptyWidth();
      return 0;
    }
    int w;
    if (out.size() >= F::bytesFor(n, F::kWidest)) {
      // Room for any width: a long input may be packed under a guess first.
      w = packWithWidth(s.data(), n, F::kChunkValues, F::kScanFirstUpTo, F::widthFor,
                        [&](int guess, size_t from, size_t to, bool verify) {
                          return F::pack(s.data(), n, guess, from, to, verify, out.data());
                        });
    } else {
      w = F::widthFor(kernels().maxFromZero(s.data(), n));
      requireRoom(packedSize(n, w), out.size(), "bytes");
      F::pack(s.data(), n, w, 0, n, false, out.data());
    }
    width = w;
    return packedSize(n, w);
  }

  static std::vector<uint8_t> encode(std::span<const int64_t> s, int64_t& lo) {
    // As encodeInto with room for any width, but the vector only ever grows
    // to the packed size of the width being tried.
    std::vector<uint8_t> out;
    int64_t width = F::emptyWidth();
    if (!s.empty())
      width = packWithWidth(s.data(), s.size(), F::kChunkValues, F::kScanFirstUpTo, F::widthFor,
                            [&](int guess, size_t from, size_t to, bool verify) {
                              out.resize(packedSize(s.size(), guess));
                              return F::pack(s.data(), s.size(), guess, from, to, verify, out.data());
                            });
    lo = width;
    return out;
  }

  // Everything decode checks, raised before any value is made.
  static Groups locate(std::span<const uint8_t> i, int64_t l) {
    Groups g{i.data(), i.size(), 0, 0, 0};
    takeWidthByte(g.p, g.size, l);
    if (g.size != 0) F::place(g, l);
    return g;
  }

  // Unpacks every group in order, piece by piece (value_out.hpp).
  template <class Out>
  static bool unpackTo(const Groups& g, Out& out) {
    for (uint64_t k = 0; k < g.count;) {
      const uint64_t end = F::pieceEnd(g, k, Out::room);
      F::unpackPiece(g, k, end, out.at());
      if (!out.put(end - k)) return false;
      k = end;
    }
    return true;
  }

  static uint64_t decodedCount(std::span<const uint8_t> i, int64_t l) { return locate(i, l).count; }

  static uint64_t decodeInto(std::span<const uint8_t> i, int64_t l, std::span<int64_t> out) {
    const Groups g = locate(i, l);
    requireRoom(g.count, out.size(), "values");
    SpanOut<F::kSpanRoom> to{out.data()};
    unpackTo(g, to);
    return g.count;
  }

  static bool decodeInto(std::span<const uint8_t> i, int64_t l, ValueSink& sink) {
    const Groups g = locate(i, l);
    if (!sink.start(g.count)) return false;
    if (g.count <= kFewValues) {
      // Handed over in one piece from a small buffer (short calls).
      int64_t few[kFewValues];
      SpanOut<F::kSpanRoom> to{few};
      unpackTo(g, to);
      return g.count == 0 || sink.take(few, g.count);
    }
    alignas(64) int64_t stage[F::kSinkChunkValues];
    SinkOut<F::kSinkChunkValues> to{sink, stage};
    return unpackTo(g, to);
  }

  static std::vector<int64_t> decode(std::span<const uint8_t> i, int64_t l) {
    std::vector<int64_t> out;
    VectorSink sink(out);
    decodeInto(i, l, sink);
    return out;
  }
};

}  // namespace vaskor::detail

// The public functions of the format namespace it stands in, each the
// body's own for format `F`.
#define VASKOR_CODEC_FUNCTIONS(F)                                                                           \
  using Body = ::vaskor::detail::CodecBody<F>;                                                              \
  std::vector<uint8_t> encode(std::span<const int64_t> s, int64_t& lo) { return Body::encode(s, lo); }      \
  std::vector<int64_t> decode(std::span<const uint8_t> i, int64_t l) { return Body::decode(i, l); }         \
  uint64_t maxPackedSize(uint64_t n) { return Body::maxPackedSize(n); }                                     \
  uint64_t encodeInto(std::span<const int64_t> s, std::span<uint8_t> out, int64_t& width) {                 \
    return Body::encodeInto(s, out, width);                                                                 \
  }                                                                                                         \
  uint64_t decodedCount(std::span<const uint8_t> i, int64_t l) { return Body::decodedCount(i, l); }         \
  uint64_t decodeInto(std::span<const uint8_t> i, int64_t l, std::span<int64_t> out) {                      \
    return Body::decodeInto(i, l, out);                                                                     \
  }                                                                                                         \
  int64_t widthOf(int64_t largest) { return Body::widthOf(largest); }                                       \
  int64_t widthOf(std::span<const int64_t> s) { return Body::widthOf(s); }                                  \
  uint64_t packedSize(uint64_t n, int64_t width) { return Body::packedSize(n, width); }                     \
  void packInto(std::span<const int64_t> s, int64_t width, uint8_t* out) { Body::packInto(s, width, out); } \
  bool decodeInto(std::span<const uint8_t> i, int64_t l, ValueSink& sink) { return Body::decodeInto(i, l, sink); }
