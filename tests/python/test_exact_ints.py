"""Exact ints of every magnitude, read in place where the host's layout
allows, against the model; everything the in-place read must leave to the
host (beyond 64 bits, subclasses, bool, Python 2's int and long mixed)
converted or refused exactly as before."""

import random
import sys
import unittest

import pyvaskor
import reference_model as model
from support import type_error

TOP = 2 ** 63 - 1
EDGES = [0, 1, 2 ** 30 - 1, 2 ** 30, 2 ** 31 - 1, 2 ** 31, 2 ** 60 - 1, 2 ** 60, 2 ** 62,
         2 ** 62 + 5, 2 ** 63 - 2 ** 60, TOP]
# Beyond 64 bits signed, by one and by whole digits: the host refuses them.
REFUSED = [2 ** 63, -2 ** 63 - 1, 2 ** 64 - 1, 2 ** 64, -2 ** 64, 2 ** 90 - 1, 2 ** 90,
           -2 ** 90, 10 ** 30, -10 ** 40]
if sys.version_info[0] == 2:
    EDGES += [long(v) for v in (0, 1, 7, 2 ** 30, 2 ** 40)]  # noqa: F821 (Python 2 only)


class Int(int):
    pass


def values_of_every_magnitude(rng):
    values = list(EDGES) + [-v for v in EDGES] + [-2 ** 63]
    for bits in range(1, 64):
        values.append(rng.randrange(2 ** (bits - 1), 2 ** bits))
        values.append(-rng.randrange(2 ** (bits - 1), 2 ** bits + 1))
    return values


class ExactIntTest(unittest.TestCase):

    def test_every_magnitude_against_the_model(self):
        rng = random.Random(19)
        values = values_of_every_magnitude(rng)
        encoders = ((pyvaskor.bpeEncode, model.bpe_encode), (pyvaskor.neEncode, model.ne_encode))
        for v in values:
            # Beside the widest value, every bit of a negative one is kept.
            for case in ([v], [v, TOP], [Int(3), v, True, -1]):
                for encode, model_encode in encoders:
                    self.assertEqual(encode(case), model_encode(case), case)
                    self.assertEqual(encode(tuple(case)), model_encode(case), case)
        # All at once, and as bytes whose low 8 bits are kept.
        for encode, model_encode in encoders:
            self.assertEqual(encode(values), model_encode(values))
        self.assertEqual(pyvaskor.neDecode(values, 1), [v & 255 for v in values])

    def test_beyond_64_bits_refused_as_before(self):
        message = 'Cannot convert python object to int'
        for v in REFUSED:
            for case in ([v], [1, 2 ** 40, v], (v, 5)):
                for encode in (pyvaskor.bpeEncode, pyvaskor.neEncode):
                    self.assertEqual(type_error(encode, case), message, case)
            self.assertEqual(type_error(pyvaskor.neDecode, [1, v], 1),
                             'Cannot convert python object to byte')


if __name__ == '__main__':
    unittest.main()
