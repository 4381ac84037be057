/* The frame's vocabulary, each list written once: the element types, the
 * layouts, the transforms and the blocked layout's block schemes, with the
 * byte each takes in a frame and the name Python, the storage codecs and the
 * HDF5 filter give it. vaskor.h makes the C enums of these lists and
 * vaskor/frame.hpp the C++ ones; the rest take their names from them.
 * C99 and C++. */
#ifndef VASKOR_FRAME_NAMES_H
#define VASKOR_FRAME_NAMES_H

/* X(C name, C++ name, byte, Python name, C type). The byte's low nibble is
 * the item size, 0x10 marks the unsigned types. */
#define VASKOR_ELEMENT_TYPES(X)                \
  X(INT8, int8, 0x01, "int8", int8_t)          \
  X(INT16, int16, 0x02, "int16", int16_t)      \
  X(INT32, int32, 0x04, "int32", int32_t)      \
  X(INT64, int64, 0x08, "int64", int64_t)      \
  X(UINT8, uint8, 0x11, "uint8", uint8_t)      \
  X(UINT16, uint16, 0x12, "uint16", uint16_t)  \
  X(UINT32, uint32, 0x14, "uint32", uint32_t)  \
  X(UINT64, uint64, 0x18, "uint64", uint64_t)

/* X(C name, C++ name, byte, Python name, the frame version that writes it) */
#define VASKOR_LAYOUTS(X)                         \
  X(BIT_PACKED, bitPacked, 1, "bpe", 1)           \
  X(WHOLE_BYTE, wholeByte, 2, "ne", 1)            \
  X(BLOCKED, blocked, 3, "blocked", 2)

/* X(C name, C++ name, byte, Python name). The layouts of version 1 take
 * frame of reference or delta; the blocked layout chooses per block, among
 * the schemes of either transform or of both (per block). */
#define VASKOR_TRANSFORMS(X)                            \
  X(FRAME_OF_REFERENCE, frameOfReference, 1, "for")     \
  X(DELTA, delta, 2, "delta")                           \
  X(PER_BLOCK, perBlock, 3, "auto")

/* X(C name, C++ name, byte, Python name, transform it belongs to: 0 both) */
#define VASKOR_SCHEMES(X)                                 \
  X(CONSTANT, constant, 1, "constant", 0)                 \
  X(FOR, frameOfReference, 2, "for", 1)                   \
  X(DELTA, delta, 3, "delta", 2)                          \
  X(PATCHED, patched, 4, "patched", 1)                    \
  X(PATCHED_DELTA, patchedDelta, 5, "patched_delta", 2)   \
  X(DICTIONARY, dictionary, 6, "dictionary", 1)           \
  X(RUN_LENGTH, runLength, 7, "rle", 1)

/* The largest scheme byte: arrays indexed by scheme have one more entry. */
#define VASKOR_SCHEME_MAX 7

#endif /* VASKOR_FRAME_NAMES_H */
