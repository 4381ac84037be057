"""What a Python user would reach for instead: the same layouts in plain
Python and in numpy."""
from __future__ import absolute_import, division, print_function

import binascii

from .common import np, range

def bit_width(m):
    """Bits per field for a largest value m < 2^48 - 1 (exact below there)."""
    return max(m, 0).bit_length() + 1


def pure_bpe_encode(lst):
    """The bit-packed layout in plain Python: fields joined as digit text."""
    m = 0
    for v in lst:
        if v > m:
            m = v
    w = bit_width(m)
    mask = (1 << w) - 1
    fmt = '0%db' % w
    bits = ''.join([format(v & mask, fmt) for v in lst])
    nbytes = (len(bits) + 7) // 8
    if not bits:
        return b'', w
    hexed = '%0*x' % (nbytes * 2, int(bits, 2))
    return binascii.unhexlify(hexed), w


def pure_bpe_decode(b, w):
    if not b:
        return []
    total = len(b) * 8
    bits = bin(int(binascii.hexlify(b), 16))[2:].zfill(total)
    bits = bits[total % w:]
    return [int(bits[i:i + w], 2) for i in range(0, len(bits), w)]


def pure_ne_encode(lst):
    m = 0
    for v in lst:
        if v > m:
            m = v
    n = max(1, (bit_width(m) - 1 + 7) // 8)
    out = bytearray()
    shifts = [8 * k for k in range(n - 1, -1, -1)]
    for v in lst:
        for s in shifts:
            out.append((v >> s) & 255)
    return bytes(out), n


def pure_ne_decode(b, n):
    ba = bytearray(b)
    out = []
    for i in range(0, len(ba), n):
        v = 0
        for k in range(i, i + n):
            v = (v << 8) | ba[k]
        out.append(v)
    return out


def np_width(a):
    m = int(a.max()) if len(a) else 0
    return bit_width(m)


def np_pack_unpackbits(lst):
    """numpy: each value's low w bits as a row of bit bytes, then packbits."""
    a = np.array(lst, dtype=np.int64)
    n = len(a)
    w = np_width(a)
    pad = (-n * w) % 8
    u = a.view(np.uint64)
    if w < 64:
        u = u << np.uint64(64 - w)
    rows = u.astype('>u8').view(np.uint8).reshape(n, 8)
    bits = np.unpackbits(rows, axis=1, count=min(w, 64))
    if w > 64:
        bits = np.hstack((np.zeros((n, w - 64), np.uint8), bits))
    flat = bits.ravel()
    if pad:
        flat = np.concatenate((np.zeros(pad, np.uint8), flat))
    return np.packbits(flat).tobytes(), w


def np_pack_words(lst):
    """numpy: each field shifted into its 64-bit word(s), words summed."""
    a = np.array(lst, dtype=np.int64)
    n = len(a)
    w = np_width(a)
    if w > 64 or n == 0:
        return np_pack_unpackbits(lst)
    pad = (-n * w) % 8
    u = a.view(np.uint64)
    if w < 64:
        u = u & np.uint64((1 << w) - 1)
    off = np.arange(n, dtype=np.uint64) * np.uint64(w) + np.uint64(pad)
    j = (off >> np.uint64(6)).astype(np.intp)
    end = (off & np.uint64(63)) + np.uint64(w)  # 1 .. 127
    fits = end <= 64
    c1 = np.where(fits, u << (np.uint64(64) - np.minimum(end, np.uint64(64))),
                  u >> (np.maximum(end, np.uint64(64)) - np.uint64(64)))
    c2 = np.where(fits, np.uint64(0),
                  u << (np.uint64(128) - np.maximum(end, np.uint64(65))))
    nbits = pad + n * w
    nwords = (nbits + 63) // 64
    words = np.zeros(nwords + 1, np.uint64)
    starts = np.flatnonzero(np.concatenate(([True], j[1:] != j[:-1])))
    first = j[starts]
    # Fields never overlap, so adding their bits is the same as or-ing them.
    words[first] += np.add.reduceat(c1, starts)
    words[first + 1] += np.add.reduceat(c2, starts)
    return words[:nwords].astype('>u8').tobytes()[:nbits // 8], w
