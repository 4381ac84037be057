#!/usr/bin/env python3
"""Writes the seed corpora from the worked examples of both formats.

Decoder inputs: mode byte, width, data (see fuzz_common.hpp).
Encoder inputs: one raw 64-bit item (kind 2) per value.
Run from anywhere; rewrites fuzz/seeds/.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def dec(width, hexbytes):
    data = bytes.fromhex(hexbytes)
    if width == 0:
        return b"\x00" + data
    if -128 <= width <= 127:
        return b"\x01" + struct.pack("<b", width) + data
    return b"\x02" + struct.pack("<q", width) + data


def enc(*values):
    return b"".join(b"\x02" + struct.pack("<q", v) for v in values)


BPE_DECODE = {
    "5_0_9_w5": dec(5, "14 09"),
    "1_2_3_w3": dec(3, "00 53"),
    "1_2_300_w10": dec(10, "00 10 09 2C"),
    "minus1_w2": dec(2, "03"),
    "minus5_3_w3": dec(3, "1B"),
    "minus1_2p62_w64": dec(64, "FF FF FF FF FF FF FF FF 40 00 00 00 00 00 00 00"),
    "max_w65": dec(65, "00 7F FF FF FF FF FF FF FF"),
    "empty_w2": dec(2, ""),
    "width_byte_5": dec(0, "05 14 09"),
    "width_byte_only": dec(0, "07"),
    "width_byte_zero_then_data": dec(0, "00 14 09"),
    "1409_w16": dec(16, "14 09"),
    "1409_w1": dec(1, "14 09"),
    "group72": dec(72, "01 23 45 67 89 AB CD EF 01"),
    "negative_width": dec(-1, "14"),
    "min_width": dec(-(2 ** 63), "14 09"),
    "max_width": dec(2 ** 63 - 1, "14 09"),
    "width_over_data": dec(17, "14 09"),
}

NE_DECODE = {
    "1_2_3_w1": dec(1, "01 02 03"),
    "1_2_300_w2": dec(2, "00 01 00 02 01 2C"),
    "255_w1": dec(1, "FF"),
    "256_w2": dec(2, "01 00"),
    "65536_w3": dec(3, "01 00 00"),
    "minus1_5_w1": dec(1, "FF 05"),
    "minus300_7_w1": dec(1, "D4 07"),
    "2p48m2_w6": dec(6, "FF FF FF FF FF FE"),
    "2p48m1_w7": dec(7, "00 FF FF FF FF FF FF"),
    "min_max_w8": dec(8, "80 00 00 00 00 00 00 00 7F FF FF FF FF FF FF FF"),
    "zero_w1": dec(1, "00"),
    "empty_w1": dec(1, ""),
    "width_byte_2": dec(0, "02 00 01 00 02 01 2C"),
    "width_byte_only": dec(0, "09"),
    "width_byte_zero_then_data": dec(0, "00 01 02"),
    "01020304_w2": dec(2, "01 02 03 04"),
    "010203_w3": dec(3, "01 02 03"),
    "ff8_w8": dec(8, "FF FF FF FF FF FF FF FF"),
    "ff7_w7": dec(7, "FF FF FF FF FF FF FF"),
    "group9": dec(9, "FF 01 23 45 67 89 AB CD EF"),
    "short_last_group": dec(2, "01 02 03"),
    "negative_width": dec(-1, "01 02"),
    "min_width": dec(-(2 ** 63), "01 02"),
    "max_width": dec(2 ** 63 - 1, "01 02"),
}

BPE_ENCODE = {
    "5_0_9": enc(5, 0, 9),
    "9_5_0": enc(9, 5, 0),
    "1_2_3": enc(1, 2, 3),
    "1_2_300": enc(1, 2, 300),
    "minus1": enc(-1),
    "minus5_3": enc(-5, 3),
    "minus1_2p62": enc(-1, 2 ** 62),
    "max": enc(2 ** 63 - 1),
    "min_max": enc(-(2 ** 63), 2 ** 63 - 1),
    "zero": enc(0),
    "one": enc(1),
    "2_3": enc(2, 3),
    "2p48m1": enc(2 ** 48 - 1),
    "2p63m64000": enc(2 ** 63 - 64000),
    "2p63m64001": enc(2 ** 63 - 64001),
    "empty": b"",
}

NE_ENCODE = {
    "1_2_3": enc(1, 2, 3),
    "1_2_300": enc(1, 2, 300),
    "300_1_2": enc(300, 1, 2),
    "255": enc(255),
    "256": enc(256),
    "65536": enc(65536),
    "minus1_5": enc(-1, 5),
    "minus300_7": enc(-300, 7),
    "2p48m2": enc(2 ** 48 - 2),
    "2p48m1": enc(2 ** 48 - 1),
    "2p56m412": enc(2 ** 56 - 412),
    "2p56m411": enc(2 ** 56 - 411),
    "min_max": enc(-(2 ** 63), 2 ** 63 - 1),
    "zero": enc(0),
    "empty": b"",
}


def frame(type_byte, layout, transform, width, count, reference, first, payload, version=1):
    """A frame by its header fields (40 bytes, little-endian) and payload."""
    return (b"VSKF" + bytes([version, layout, type_byte, transform, width]) + bytes(7) +
            struct.pack("<QQQ", count, reference & (2 ** 64 - 1), first & (2 ** 64 - 1)) +
            bytes.fromhex(payload))


# C frame decoder: a room byte and a count byte (as above), then the frame.
CAPI_FRAME_DECODE = {
    # int8 5, 0, 9: 4 bits each after 4 bits of padding
    "int8_for_bits": frame(0x01, 1, 1, 4, 3, 0, 0, "05 09"),
    # int16 -3, 5, 9 as whole bytes above the minimum -3
    "int16_for_bytes": frame(0x02, 2, 1, 1, 3, -3, 0, "00 08 0C"),
    # uint32 100, 101, 103: first 100, differences 1, 2 less the least (1)
    "uint32_delta_bits": frame(0x14, 1, 2, 1, 3, 1, 100, "01"),
    "int64_constant_width0": frame(0x08, 1, 1, 0, 1000, -7, 0, ""),
    "uint64_empty": frame(0x18, 2, 2, 0, 0, 0, 0, ""),
    "newer_version": frame(0x01, 1, 1, 4, 3, 0, 0, "05 09", version=3),
    "huge_count": frame(0x08, 1, 1, 0, 2 ** 40, 0, 0, ""),
    "truncated": frame(0x01, 1, 1, 4, 3, 0, 0, "05"),
}

# Frames as they come (frame_decode): the C decoder's, and a few more.
FRAME_DECODE = dict(
    CAPI_FRAME_DECODE,
    padding_set=frame(0x01, 1, 1, 4, 3, 0, 0, "85 09"),
    int64_full_range=frame(0x08, 1, 1, 64, 2, -2 ** 63, 0, "FF FF FF FF FF FF FF FF 00 00 00 00 00 00 00 00"),
    # int8 -128, 127, -128: differences -1 and 1 (mod 256), less the least
    int8_delta_wrap=frame(0x01, 2, 2, 1, 3, -1, -128, "00 02"),
    reserved_set=frame(0x01, 1, 1, 4, 3, 0, 0, "05 09")[:12] + b"\x01" + frame(0x01, 1, 1, 4, 3, 0, 0, "05 09")[13:],
)

# Frame round trips: a mode byte (element type in bits 0-2, whole-byte 8,
# delta 16), a room byte and a count byte (as above), then the values as
# for the encoders, each cut to the type.
FRAME_ROUNDTRIP = {
    "int8_5_3_9": bytes([0x00, 0, 0]) + enc(5, 3, 9),
    "int16_delta": bytes([0x01 | 16, 2, 1]) + enc(100, 98, 101, 101),
    "uint16_bytes": bytes([0x05 | 8, 4, 2]) + enc(1000, 1300, 65535),
    "uint64_high": bytes([0x07 | 8, 6, 0]) + enc(-1, -(2 ** 63)),
    "int64_min_max_delta": bytes([0x03 | 16, 0, 0]) + enc(-(2 ** 63), 2 ** 63 - 1, -(2 ** 63)),
    "int32_constant": bytes([0x02, 2, 0]) + enc(7, 7, 7, 7),
    "int64_empty_delta": bytes([0x03 | 16, 0, 0]),
}


def into(bpe, ne):
    """Caller-storage seeds: a room byte (codec in bit 0, exact / short /
    spare / most room in bits 1-2) and a count byte in front of each seed."""
    out = {}
    for codec, seeds in ((0, bpe), (1, ne)):
        for i, (name, data) in enumerate(sorted(seeds.items())):
            mode = i % 4
            prefix = "ne_" if codec else "bpe_"
            out[prefix + name + "_room%d" % mode] = bytes([codec | mode << 1, i % 3]) + data
    return out


def main():
    for target, seeds in (("bpe_decode", BPE_DECODE), ("ne_decode", NE_DECODE),
                          ("bpe_encode", BPE_ENCODE), ("ne_encode", NE_ENCODE),
                          ("decode_into", into(BPE_DECODE, NE_DECODE)),
                          ("encode_into", into(BPE_ENCODE, NE_ENCODE)),
                          ("capi_frame_decode",
                           {name + "_room%d" % (i % 4): bytes([i % 4 << 1, i % 3]) + data
                            for i, (name, data) in enumerate(sorted(CAPI_FRAME_DECODE.items()))}),
                          ("frame_decode", FRAME_DECODE), ("frame_roundtrip", FRAME_ROUNDTRIP)):
        d = os.path.join(HERE, "seeds", target)
        os.makedirs(d, exist_ok=True)
        for old in os.listdir(d):
            os.remove(os.path.join(d, old))
        for name, data in seeds.items():
            with open(os.path.join(d, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
