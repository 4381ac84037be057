"""Python values into the codecs and back: which objects are accepted,
how items are narrowed, and the TypeError for each refused value."""

import sys
import unittest

import pyvaskor
from support import PYPY, type_error

PREFIX = 'Cannot convert python object to '


class MyList(list):
    # Overrides that conversion must not consult.
    def __len__(self):
        return 0

    def __getitem__(self, i):
        raise AssertionError('subclass method used')


class MyTuple(tuple):
    def __len__(self):
        return 0


class MyBytes(bytes):
    pass


class Shrinker(object):
    """An item whose conversion empties the rest of its list."""

    def __init__(self, owner):
        self.owner = owner

    def __index__(self):
        del self.owner[1:]
        return 1

    # PyPy 2.7 converts through __long__ alone.
    __int__ = __long__ = __index__


class Refuses(object):
    def __index__(self):
        raise ValueError('refused')

    __int__ = __index__


class IntegerSequenceTest(unittest.TestCase):

    def test_lists_tuples_and_their_subclasses(self):
        for encode in (pyvaskor.bpeEncode, pyvaskor.neEncode):
            expected = encode([1, 2, 300])
            # PyPy cannot hand C a tuple whose __len__ lies (it fails the call
            # itself): there a plain subclass stands in.
            tuple_sub = type('PlainTuple', (tuple,), {}) if PYPY else MyTuple
            seqs = ([1, 2, 300], (1, 2, 300), MyList([1, 2, 300]), tuple_sub((1, 2, 300)))
            for seq in seqs:
                self.assertEqual(encode(seq), expected, type(seq))
            self.assertEqual(encode([True, False, 1]), encode([1, 0, 1]))
            # The largest value before an item of another type still sets the width.
            self.assertEqual(encode([300, True, 2]), encode([300, 1, 2]))
            self.assertEqual(encode([]), encode(()))

    def test_anything_else_is_refused(self):
        others = [b'\x01\x02', u'12', iter([1]), set([1]), {1: 2}, bytearray(b'\x01'), 5, None,
                  (x for x in [1])]
        if sys.version_info[0] >= 3:
            others.append(range(3))
        for encode in (pyvaskor.bpeEncode, pyvaskor.neEncode):
            for other in others:
                self.assertEqual(type_error(encode, other), PREFIX + 'seq[int]', repr(other))

    def test_refused_items(self):
        for encode in (pyvaskor.bpeEncode, pyvaskor.neEncode):
            for bad in ('1', None, 2 ** 63, -2 ** 63 - 1, Refuses(), [1]):
                self.assertEqual(type_error(encode, [1, bad, 2]), PREFIX + 'int', repr(bad))
                self.assertEqual(type_error(encode, (bad,)), PREFIX + 'int', repr(bad))

    def test_list_shrunk_by_an_item(self):
        for encode in (pyvaskor.bpeEncode, pyvaskor.neEncode):
            values = [0, 7, 8]
            values[0] = Shrinker(values)
            self.assertEqual(type_error(encode, values), PREFIX + 'int')
            self.assertEqual(values[1:], [])

    def test_extremes_and_minus_one(self):
        self.assertEqual(pyvaskor.neEncode([-1]), (b'\xff', 1))
        packed, width = pyvaskor.neEncode([2 ** 63 - 1, -2 ** 63])
        self.assertEqual(pyvaskor.neDecode(packed, width), [2 ** 63 - 1, -2 ** 63])


class ByteSequenceTest(unittest.TestCase):

    def test_items_keep_their_low_eight_bits(self):
        for data in ([1, 256, -1, 511], (1, 256, -1, 511)):
            self.assertEqual(pyvaskor.neDecode(data, 1), [1, 0, 255, 255])
        self.assertEqual(pyvaskor.neDecode([True, False], 1), [1, 0])
        self.assertEqual(pyvaskor.neDecode([2 ** 63 - 1, -2 ** 63], 1), [255, 0])

    def test_bytes_and_subclasses_copied_as_they_are(self):
        data = b'\x00\x01\x00\xff'
        for given in (data, MyBytes(data), MyList(bytearray(data)), tuple(bytearray(data))):
            self.assertEqual(pyvaskor.neDecode(given, 1), [0, 1, 0, 255], type(given))
        self.assertEqual(pyvaskor.neDecode(MyBytes(b''), 1), [])

    def test_anything_else_is_refused(self):
        others = [bytearray(b'\x01'), memoryview(b'\x01'), u'\x01', 1, None, set([1])]
        for decode in (pyvaskor.bpeDecode, pyvaskor.neDecode):
            for other in others:
                self.assertEqual(type_error(decode, other, 1), PREFIX + 'seq[byte]', repr(other))

    def test_refused_items(self):
        for decode in (pyvaskor.bpeDecode, pyvaskor.neDecode):
            for bad in ('1', 2 ** 63, -2 ** 63 - 1, Refuses(), 1.5j):
                self.assertEqual(type_error(decode, [1, bad], 1), PREFIX + 'byte', repr(bad))
            values = [0, 7, 8]
            values[0] = Shrinker(values)
            self.assertEqual(type_error(decode, values, 1), PREFIX + 'byte')


class WidthArgumentTest(unittest.TestCase):

    def test_refused_widths(self):
        for decode in (pyvaskor.bpeDecode, pyvaskor.neDecode):
            for bad in ('5', None, 2 ** 63, -2 ** 63 - 1, [5], Refuses()):
                self.assertEqual(type_error(decode, b'\x01', bad), PREFIX + 'int', repr(bad))
                self.assertEqual(type_error(decode, bytes=b'\x01', l=bad), PREFIX + 'int')

    def test_bytes_is_checked_before_the_width(self):
        for decode in (pyvaskor.bpeDecode, pyvaskor.neDecode):
            self.assertEqual(type_error(decode, u'x', u'y'), PREFIX + 'seq[byte]')
            self.assertEqual(type_error(decode, l='y', bytes=[1, 'x']), PREFIX + 'byte')

    def test_minus_one_and_bools_are_widths(self):
        self.assertEqual(pyvaskor.bpeDecode(b'', -1), [])
        self.assertEqual(pyvaskor.neDecode(b'\x01\x02', True), [1, 2])
        self.assertEqual(pyvaskor.bpeDecode(b'\x05\x14\x09', False), [5, 0, 9])


class ResultShapeTest(unittest.TestCase):

    def test_shapes(self):
        for encode, width in ((pyvaskor.bpeEncode, 2), (pyvaskor.neEncode, 1)):
            got = encode([])
            self.assertEqual(got, (b'', width))
            self.assertIs(type(got), tuple)
            self.assertIs(type(got[0]), bytes)
        for decode in (pyvaskor.bpeDecode, pyvaskor.neDecode):
            got = decode(b'', 3)
            self.assertEqual(got, [])
            self.assertIs(type(got), list)
        # Each call makes a new list.
        self.assertIsNot(pyvaskor.neDecode(b'\x01', 1), pyvaskor.neDecode(b'\x01', 1))


if __name__ == '__main__':
    unittest.main()
