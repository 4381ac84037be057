"""Worked examples of both formats through Python: every input form
(list or tuple of values; bytes, list or tuple of byte values) and every
call form (positional, keyword, mixed) must give the same bytes."""

import unittest

import pyvaskor


def h(text):
    return bytes(bytearray.fromhex(text))


def byte_forms(data):
    items = list(bytearray(data))
    return [data, items, tuple(items)]


def encode_calls(fn, values):
    """The result of every way of passing `values`."""
    results = []
    for a in (list(values), tuple(values)):
        results.append(fn(a))
        results.append(fn(a=a))
    return results


def decode_calls(fn, data, l):
    results = []
    for b in byte_forms(data):
        results.append(fn(b, l))
        results.append(fn(b, l=l))
        results.append(fn(bytes=b, l=l))
        results.append(fn(l=l, bytes=b))
    return results


# (values, packed bytes, width, decode of those bytes with that width)
BPE_EXAMPLES = [
    ([5, 0, 9], '14 09', 5, [5, 0, 9]),
    ([1, 2, 3], '00 53', 3, [0, 0, 1, 2, 3]),
    ([1, 2, 300], '00 10 09 2C', 10, [1, 2, 300]),
    ([-1], '03', 2, [0, 0, 0, 3]),
    ([-5, 3], '1B', 3, [3, 3]),
    ([-1, 2 ** 62], 'FF FF FF FF FF FF FF FF 40 00 00 00 00 00 00 00', 64, [-1, 2 ** 62]),
    ([2 ** 63 - 1], '00 7F FF FF FF FF FF FF FF', 65, [2 ** 63 - 1]),
    ([], '', 2, []),
    ([0], '00', 2, [0, 0, 0, 0]),
    ([1], '01', 2, [0, 0, 0, 1]),
    ([2, 3], '13', 3, [2, 3]),
    ([9, 5, 0], '24 A0', 5, [9, 5, 0]),
]

NE_EXAMPLES = [
    ([1, 2, 3], '01 02 03', 1, [1, 2, 3]),
    ([1, 2, 300], '00 01 00 02 01 2C', 2, [1, 2, 300]),
    ([300, 1, 2], '01 2C 00 01 00 02', 2, [300, 1, 2]),
    ([255], 'FF', 1, [255]),
    ([256], '01 00', 2, [256]),
    ([65536], '01 00 00', 3, [65536]),
    ([-1, 5], 'FF 05', 1, [255, 5]),
    ([-300, 7], 'D4 07', 1, [212, 7]),
    ([2 ** 48 - 2], 'FF FF FF FF FF FE', 6, [2 ** 48 - 2]),
    ([2 ** 48 - 1], '00 FF FF FF FF FF FF', 7, [2 ** 48 - 1]),
    ([-2 ** 63, 2 ** 63 - 1], '80 00 00 00 00 00 00 00 7F FF FF FF FF FF FF FF', 8,
     [-2 ** 63, 2 ** 63 - 1]),
    ([0], '00', 1, [0]),
    ([], '', 1, []),
]


class WorkedExamples(unittest.TestCase):

    def check_examples(self, encode, decode, examples):
        for values, packed, width, decoded in examples:
            for got in encode_calls(encode, values):
                self.assertEqual(got, (h(packed), width), values)
                self.assertIs(type(got), tuple)
                self.assertIs(type(got[0]), bytes)
            for got in decode_calls(decode, h(packed), width):
                self.assertEqual(got, decoded, (packed, width))
                self.assertIs(type(got), list)

    def test_bit_packed(self):
        self.check_examples(pyvaskor.bpeEncode, pyvaskor.bpeDecode, BPE_EXAMPLES)

    def test_whole_byte(self):
        self.check_examples(pyvaskor.neEncode, pyvaskor.neDecode, NE_EXAMPLES)

    def test_width_byte_in_front(self):
        for got in decode_calls(pyvaskor.bpeDecode, h('05 14 09'), 0):
            self.assertEqual(got, [5, 0, 9])
        for got in decode_calls(pyvaskor.neDecode, h('02 00 01 00 02 01 2C'), 0):
            self.assertEqual(got, [1, 2, 300])
        for decode in (pyvaskor.bpeDecode, pyvaskor.neDecode):
            for lone in ('00', '05', 'FF'):
                self.assertEqual(decode(h(lone), 0), [])
            self.assertEqual(decode(b'', 0), [])

    def test_empty_bytes_decode_to_empty_list_with_any_width(self):
        for decode in (pyvaskor.bpeDecode, pyvaskor.neDecode):
            for l in (0, 1, 7, 300, -3):
                for b in byte_forms(b''):
                    self.assertEqual(decode(b, l), [])


class WidthRules(unittest.TestCase):

    def test_bit_width_follows_the_largest_value(self):
        cases = [
            (2 ** 48 - 2, 49), (2 ** 48 - 1, 50), (2 ** 53 - 1, 55), (2 ** 56 - 412, 57),
            (2 ** 56 - 411, 58), (2 ** 63 - 64001, 64), (2 ** 63 - 64000, 65), (255, 9),
            (256, 10),
        ]
        for m, width in cases:
            self.assertEqual(pyvaskor.bpeEncode([1, m, -2 ** 63])[1], width, m)

    def test_byte_width_follows_the_largest_value(self):
        cases = [
            (255, 1), (256, 2), (2 ** 16 - 1, 2), (2 ** 16, 3), (2 ** 24, 4), (2 ** 32, 5),
            (2 ** 40, 6), (2 ** 48 - 2, 6), (2 ** 48 - 1, 7), (2 ** 56 - 412, 7),
            (2 ** 56 - 411, 8), (2 ** 63 - 1, 8),
        ]
        for m, width in cases:
            packed, got = pyvaskor.neEncode([m, -1])
            self.assertEqual(got, width, m)
            self.assertEqual(len(packed), 2 * width)

    def test_negative_values_never_raise_the_width(self):
        self.assertEqual(pyvaskor.bpeEncode([-2 ** 63, -1, 0]), (h('0C'), 2))
        self.assertEqual(pyvaskor.bpeEncode([-7, -8])[1], 2)
        self.assertEqual(pyvaskor.neEncode([-7, -8]), (h('F9 F8'), 1))


class DecoderWidths(unittest.TestCase):

    def test_bit_packed_takes_any_width(self):
        self.assertEqual(pyvaskor.bpeDecode(h('14 09'), 16), [0x1409])
        self.assertEqual(pyvaskor.bpeDecode(h('14 09'), 1),
                         [0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1])
        self.assertEqual(pyvaskor.bpeDecode(h('01 23 45 67 89 AB CD EF 01'), 72),
                         [0x23456789ABCDEF01])
        self.assertEqual(pyvaskor.bpeDecode(h('14 09'), 17), [])
        self.assertEqual(pyvaskor.bpeDecode(h('14 09'), -17), [])
        self.assertEqual(pyvaskor.bpeDecode(h('FF FF FF FF FF FF FF FF'), 64), [-1])

    def test_whole_byte_takes_any_positive_width(self):
        self.assertEqual(pyvaskor.neDecode(h('01 02 03 04'), 2), [258, 772])
        self.assertEqual(pyvaskor.neDecode(h('01 02 03'), 3), [66051])
        self.assertEqual(pyvaskor.neDecode(h('FF') * 8, 8), [-1])
        self.assertEqual(pyvaskor.neDecode(h('FF') * 7, 7), [2 ** 56 - 1])
        self.assertEqual(pyvaskor.neDecode(h('FF 01 23 45 67 89 AB CD EF'), 9),
                         [0x0123456789ABCDEF])


if __name__ == '__main__':
    unittest.main()
