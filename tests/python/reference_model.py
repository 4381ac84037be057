"""Slow model of both packing formats, following their steps literally:
every value passes through a text of '0' and '1' characters."""

import math

MASK64 = (1 << 64) - 1


class ModelCheckFailed(Exception):
    """The bit-packed decoder's consistency check failed."""


class ModelUndefined(Exception):
    """The steps leave this input undefined; the implementation chooses."""


def to_signed64(u):
    return u - (1 << 64) if u >> 63 else u


def bin_len(num):
    if num == 0:
        return 1
    y = math.log(float(num)) / math.log(2.0)
    return int(math.floor(y)) + 1


def nsu_to_bin(x, length):
    """The low `length` bits of x's 64-bit pattern; zeros above bit 63."""
    pattern = x & MASK64
    if length <= 64:
        return format(pattern & ((1 << length) - 1), '0%db' % length)
    return '0' * (length - 64) + format(pattern, '064b')


def parse_bin(s, width):
    """Returns (characters consumed, value or None); the accumulator keeps
    `width` bits, 64-bit results read as two's complement."""
    i = 0
    if len(s) >= 2 and s[0] == '0' and s[1] in 'bB':
        i = 2
        if i == len(s):
            return 0, None
    acc = 0
    seen = False
    mask = (1 << width) - 1
    while i < len(s):
        c = s[i]
        if c in '01':
            acc = ((acc << 1) | (c == '1')) & mask
            seen = True
        elif c != '_':
            break
        i += 1
    if not seen:
        return 0, None
    return i, (to_signed64(acc) if width == 64 else acc)


def _largest(values):
    m = 0
    for v in values:
        if v > m:
            m = v
    return m


def _text_to_bytes(t):
    out = bytearray()
    for k in range(0, len(t), 8):
        n, b = parse_bin(t[k:k + 8], 8)
        assert n == 8
        out.append(b)
    return bytes(out)


def _bytes_text(data):
    return ''.join(nsu_to_bin(b, 8) for b in data)


def _take_width(data, l):
    data = bytearray(data)
    if l == 0 and data:
        l = data[0]
        data = data[1:]
    return data, l


def bpe_encode(values):
    if not values:
        return b'', bin_len(0) + 1
    w = bin_len(_largest(values)) + 1
    t = ''.join(nsu_to_bin(v, w) for v in values)
    if len(t) % 8:
        t = '0' * (8 - len(t) % 8) + t
    return _text_to_bytes(t), w


def bpe_decode(data, l):
    data, l = _take_width(data, l)
    if not data:
        return []
    if l == 0:
        raise ModelUndefined('width byte 0 followed by data')
    t = _bytes_text(data)
    t = t[len(t) % abs(l):]
    values = []
    offset = 0
    while offset <= len(t) - 1:
        group = t[offset:offset + l] if l > 0 else ''
        n, v = parse_bin(group, 64)
        if n != l:
            raise ModelCheckFailed('bpe(76, 18) `item.parseBin(iitem) == rl` ')
        values.append(v)
        offset += l
    return values


def ne_encode(values):
    if not values:
        return b'', 1
    n = int(math.ceil(bin_len(_largest(values)) * 0.125))
    out = b''
    for v in values:
        out += _text_to_bytes(nsu_to_bin(v, 8 * n))
    return out, n


def ne_decode(data, l):
    data, l = _take_width(data, l)
    if not data:
        return []
    if l <= 0:
        raise ModelUndefined('width %d with data' % l)
    if len(data) % l:
        raise ModelUndefined('short last group')
    values = []
    offset = 0
    while offset <= len(data) - 1:
        _, v = parse_bin(_bytes_text(data[offset:offset + l]), 64)
        values.append(v)
        offset += l
    return values
