"""The module against the slow text model of both formats, on random
inputs from fixed seeds."""

import random
import unittest

import pyvaskor
import reference_model as model

CASES = 2000

# k and d of the values 2^k - d just below each power of two where the
# bit-length rule first answers one too many.
RAISED = [(48, 1), (49, 2), (50, 3), (51, 1), (52, 27), (53, 38), (54, 42), (55, 18),
          (56, 411), (57, 552), (58, 592), (59, 4191), (60, 6208), (61, 8063), (62, 7424),
          (63, 64000)]
BOUNDARIES = []
for _k, _d in RAISED:
    BOUNDARIES += [2 ** _k - _d - 1, 2 ** _k - _d, 2 ** _k - 1]
BOUNDARIES += [2 ** k for k in range(63)] + [2 ** 63 - 1, -2 ** 63, -1, 0, 1]


def random_value(rng):
    if rng.random() < 0.15:
        return rng.choice(BOUNDARIES)
    bits = rng.randint(0, 63)
    v = rng.getrandbits(bits) if bits else 0
    return -v - 1 if rng.random() < 0.25 else v


def random_values(rng):
    return [random_value(rng) for _ in range(rng.randint(0, 12))]


def random_bytes(rng, n):
    return bytes(bytearray(rng.getrandbits(8) for _ in range(n)))


def module_decode(decode, data, l):
    """The decoded list, or the failing check's kind and message."""
    try:
        return decode(data, l)
    except pyvaskor.NimPyException as e:
        return (type(e).__name__, str(e))


def model_decode(decode, data, l):
    try:
        return decode(data, l)
    except model.ModelCheckFailed as e:
        return ('AssertionDefect', 'Unexpected error encountered: ' + str(e))


class EncodeTest(unittest.TestCase):

    def check(self, seed, encode, model_encode):
        rng = random.Random(seed)
        for _ in range(CASES):
            values = random_values(rng)
            self.assertEqual(encode(values), model_encode(values), values)

    def test_bit_packed(self):
        self.check(11, pyvaskor.bpeEncode, model.bpe_encode)

    def test_whole_byte(self):
        self.check(12, pyvaskor.neEncode, model.ne_encode)

    def test_boundaries_alone(self):
        for v in BOUNDARIES:
            self.assertEqual(pyvaskor.bpeEncode([v]), model.bpe_encode([v]), v)
            self.assertEqual(pyvaskor.neEncode([v]), model.ne_encode([v]), v)


class DecodeTest(unittest.TestCase):

    def test_bit_packed_any_width(self):
        rng = random.Random(21)
        for _ in range(CASES):
            data = random_bytes(rng, rng.randint(0, 20))
            l = rng.choice([rng.randint(1, 80), rng.randint(1, 9), -rng.randint(1, 200)])
            self.assertEqual(module_decode(pyvaskor.bpeDecode, data, l),
                             model_decode(model.bpe_decode, data, l), (data, l))

    def test_bit_packed_width_byte(self):
        rng = random.Random(22)
        for _ in range(CASES // 3):
            data = bytes(bytearray([rng.randint(1, 255)])) + random_bytes(rng, rng.randint(0, 20))
            self.assertEqual(pyvaskor.bpeDecode(data, 0), model.bpe_decode(data, 0), data)

    def test_whole_byte_whole_groups(self):
        rng = random.Random(23)
        for _ in range(CASES):
            l = rng.randint(1, 10)
            data = random_bytes(rng, l * rng.randint(0, 4))
            self.assertEqual(pyvaskor.neDecode(data, l), model.ne_decode(data, l), (data, l))
            with_width = bytes(bytearray([l])) + data
            self.assertEqual(pyvaskor.neDecode(with_width, 0), model.ne_decode(data, l))

    def test_round_trips(self):
        rng = random.Random(24)
        for _ in range(CASES // 3):
            values = random_values(rng)
            for encode, decode, model_decode_fn in (
                    (pyvaskor.bpeEncode, pyvaskor.bpeDecode, model.bpe_decode),
                    (pyvaskor.neEncode, pyvaskor.neDecode, model.ne_decode)):
                packed, width = encode(values)
                self.assertEqual(decode(packed, width), model_decode_fn(packed, width), values)


if __name__ == '__main__':
    unittest.main()
