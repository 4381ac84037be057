"""Every width extreme and every value of the width byte over random data,
and random value lists at the 64-bit limits, against the reference model."""

import random
import unittest

import pyvaskor
import reference_model as model
from hardening_support import CHECK_TEXT, MAX64, MIN64, MODEL, UNEXPECTED, as_bytes, outcome


WIDTHS = [MIN64, MIN64 + 1, -2 ** 62, -2 ** 32, -65, -64, -63, -9, -8, -2, -1, 0, 1, 2, 3, 7,
          8, 9, 15, 16, 17, 63, 64, 65, 66, 72, 127, 128, 129, 255, 256, 257, 2 ** 31 - 1,
          2 ** 31, 2 ** 32, 2 ** 62, MAX64 - 1, MAX64]


class WidthSweep(unittest.TestCase):
    """Every width extreme, and every value of the width byte, over random
    data of many lengths, against the reference model."""

    def check(self, name, data, l):
        fn = getattr(pyvaskor, name)
        got = outcome(fn, data, l)
        try:
            want = ('ok', MODEL[name](data, l))
        except model.ModelCheckFailed as e:
            want = ('module', 'AssertionDefect', UNEXPECTED + str(e))
        except model.ModelUndefined:
            # The implementation chooses: a list of ints, or a module exception.
            if got[0] == 'ok':
                self.assertIs(type(got[1]), list)
                for v in got[1]:
                    self.assertTrue(MIN64 <= v <= MAX64)
            else:
                self.assertEqual(got[0], 'module', (name, l))
                self.assertTrue(got[2].startswith(UNEXPECTED), got)
            want = got
        self.assertEqual(got, want, (name, len(data), l))
        # The same bytes given as a list or a tuple read the same.
        items = list(bytearray(data))
        self.assertEqual(outcome(fn, items, l), got)
        self.assertEqual(outcome(fn, tuple(items), l), got)
        return got

    def test_width_extremes(self):
        rng = random.Random(7)
        for name in ('bpeDecode', 'neDecode'):
            for length in (0, 1, 2, 3, 7, 8, 9, 15, 16, 17, 24, 64, 65):
                for _ in range(2):
                    data = as_bytes(rng.randrange(256) for _ in range(length))
                    for l in WIDTHS:
                        self.check(name, data, l)

    def test_every_width_byte(self):
        rng = random.Random(11)
        for name in ('bpeDecode', 'neDecode'):
            for wb in range(256):
                for length in (0, 1, rng.randrange(2, 12), rng.randrange(12, 80)):
                    data = as_bytes(rng.randrange(256) for _ in range(length))
                    got = self.check(name, as_bytes([wb]) + data, 0)
                    if wb:
                        # The width byte reads exactly like the width itself.
                        self.assertEqual(got, outcome(getattr(pyvaskor, name), data, wb))

    def test_negative_widths_fail_only_when_bits_remain(self):
        # The remainder step leaves floor(bits / |l|) * |l| bits; a group is
        # read, and the check fails, only when that is not zero.
        for l in (-1, -7, -8, -15, -16, -17, -33, MIN64):
            for n in range(0, 5):
                data = b'\xa5' * n
                got = outcome(pyvaskor.bpeDecode, data, l)
                bits = 8 * n
                if bits - bits % -l:
                    self.assertEqual(got, ('module', 'AssertionDefect', UNEXPECTED + CHECK_TEXT))
                else:
                    self.assertEqual(got, ('ok', []))


class LimitValues(unittest.TestCase):
    """Random value lists holding the 64-bit limits and the values where the
    width rule steps, through both encoders and back, against the model."""

    def test_random_lists(self):
        rng = random.Random(3)
        specials = [0, 1, -1, MAX64, MIN64, 2 ** 62, 2 ** 48 - 2, 2 ** 48 - 1, 2 ** 56 - 412,
                    2 ** 56 - 411, 2 ** 63 - 64000, 2 ** 63 - 64001, 255, 256]
        for _ in range(300):
            n = rng.randrange(0, 40)
            values = []
            for _ in range(n):
                r = rng.random()
                if r < 0.3:
                    values.append(rng.choice(specials))
                elif r < 0.6:
                    values.append(rng.randrange(MIN64, MAX64 + 1))
                else:
                    values.append(rng.randrange(-300, 70000))
            for enc, dec, ref in ((pyvaskor.bpeEncode, pyvaskor.bpeDecode, model.bpe_encode),
                                  (pyvaskor.neEncode, pyvaskor.neDecode, model.ne_encode)):
                packed, width = enc(values)
                self.assertEqual((packed, width), ref(values), values)
                self.assertEqual(dec(packed, width), MODEL[dec.__name__](packed, width))


if __name__ == '__main__':
    unittest.main()
