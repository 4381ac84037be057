// What both raw formats offer. Each format's namespace (vaskor::bpe,
// vaskor::ne) declares the same functions, written once in
// codec_functions.inc, and describes them in one `codec`, for a caller that
// picks the format at run time.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "vaskor/value_sink.hpp"

namespace vaskor {

// One format's functions, as its namespace declares them; a width is in
// `unit`. The overloads of widthOf and decodeInto have a member each.
struct Codec {
  const char* name;  // "bpe", "ne"
  const char* unit;  // "bits", "bytes"
  std::vector<uint8_t> (*encode)(std::span<const int64_t>, int64_t&);
  std::vector<int64_t> (*decode)(std::span<const uint8_t>, int64_t);
  uint64_t (*maxPackedSize)(uint64_t);
  uint64_t (*encodeInto)(std::span<const int64_t>, std::span<uint8_t>, int64_t&);
  uint64_t (*decodedCount)(std::span<const uint8_t>, int64_t);
  uint64_t (*decodeInto)(std::span<const uint8_t>, int64_t, std::span<int64_t>);
  int64_t (*widthOfLargest)(int64_t);
  int64_t (*widthOf)(std::span<const int64_t>);
  uint64_t (*packedSize)(uint64_t, int64_t);
  void (*packInto)(std::span<const int64_t>, int64_t, uint8_t*);
  bool (*decodeToSink)(std::span<const uint8_t>, int64_t, ValueSink&);
};

}  // namespace vaskor
