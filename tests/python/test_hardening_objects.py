"""Every kind of object for every parameter and item, objects with
__index__ or __int__ across host versions, and lists that change while
they are read. Each call must give the expected exception or the reference
model's result, never a crash, a hang, another exception or a partial
result."""

import decimal
import sys
import unittest
import warnings

import pyvaskor
import support
from support import PYPY
from hardening_support import (DEC_WIDTH, MAX64, MIN64, MODEL, PREFIX, PY2, IndexAndInt,
                               IndexOnly, IntOnly, MyInt, MyList, Raises, ReturnsFloat,
                               ReturnsHuge, ReturnsStr, as_bytes, host_long_long,
                               is_byte_sequence, objects, outcome)

if PY2:
    from hardening_support import OldStyleInt


@support.needs_cpython('ctypes.pythonapi')
class ObjectSweep(unittest.TestCase):
    """Every object as every parameter and as an item of every sequence.
    Whether an integer-like object is accepted, and as what value, is the
    host's PyLong_AsLongLong's decision; everything else is fixed."""

    def setUp(self):
        self.warnings = warnings.catch_warnings()
        self.warnings.__enter__()
        warnings.simplefilter('ignore')

    def tearDown(self):
        self.warnings.__exit__(None, None, None)

    def test_as_the_values(self):
        for label, obj in objects():
            for name in ('bpeEncode', 'neEncode'):
                got = outcome(getattr(pyvaskor, name), obj)
                if not isinstance(obj, (list, tuple)):
                    self.assertEqual(got, ('type', PREFIX + 'seq[int]'), (name, label))
                    continue
                values = [host_long_long(x) for x in obj]
                if None in values:
                    self.assertEqual(got, ('type', PREFIX + 'int'), (name, label))
                else:
                    self.assertEqual(got, ('ok', MODEL[name](values)), (name, label))

    def test_as_an_item_of_the_values(self):
        for label, obj in objects():
            v = host_long_long(obj)
            for name in ('bpeEncode', 'neEncode'):
                fn = getattr(pyvaskor, name)
                for seq in ([7, obj, 300], (obj,), MyList([obj, 1])):
                    got = outcome(fn, seq)
                    if v is None:
                        self.assertEqual(got, ('type', PREFIX + 'int'), (name, label))
                    else:
                        want = [v if x is obj else x for x in seq]
                        self.assertEqual(got, ('ok', MODEL[name](want)), (name, label))

    def test_as_the_bytes(self):
        for label, obj in objects():
            for name in ('bpeDecode', 'neDecode'):
                width = DEC_WIDTH[name]
                got = outcome(getattr(pyvaskor, name), obj, width)
                if not is_byte_sequence(obj):
                    self.assertEqual(got, ('type', PREFIX + 'seq[byte]'), (name, label))
                    continue
                if isinstance(obj, bytes):
                    data = list(bytearray(obj))
                else:
                    data = [host_long_long(x) for x in obj]
                if None in data:
                    self.assertEqual(got, ('type', PREFIX + 'byte'), (name, label))
                else:
                    data = as_bytes(x & 0xFF for x in data)
                    self.assertEqual(got, ('ok', MODEL[name](data, width)), (name, label))

    def test_as_an_item_of_the_bytes(self):
        for label, obj in objects():
            v = host_long_long(obj)
            for name in ('bpeDecode', 'neDecode'):
                fn = getattr(pyvaskor, name)
                width = DEC_WIDTH[name]
                for seq in ([1, obj], (obj, 255, 256)):
                    got = outcome(fn, seq, width)
                    if v is None:
                        self.assertEqual(got, ('type', PREFIX + 'byte'), (name, label))
                    else:
                        data = as_bytes((v if x is obj else x) & 0xFF for x in seq)
                        self.assertEqual(got, ('ok', MODEL[name](data, width)), (name, label))

    def test_as_the_width(self):
        data = b'\x08\x01\x02\x03\x04\x05\x06\x07\x08'
        for label, obj in objects():
            v = host_long_long(obj)
            for name in ('bpeDecode', 'neDecode'):
                fn = getattr(pyvaskor, name)
                got = outcome(fn, data, obj)
                if v is None:
                    self.assertEqual(got, ('type', PREFIX + 'int'), (name, label))
                else:
                    self.assertEqual(got, outcome(fn, data, v), (name, label))
                # A bad "bytes" is reported first, whatever the width is.
                self.assertEqual(outcome(fn, u'x', obj), ('type', PREFIX + 'seq[byte]'))


class IntegerLikeByVersion(unittest.TestCase):
    """The host decides what an integer is, and that changed: Python 3.8
    started to take __index__, 3.10 stopped taking __int__ (and floats).
    Spelled out here rather than asked of the host."""

    def accepted(self, obj):
        # MAX64 forces 8 bytes a value, which keeps every value whole.
        got = outcome(pyvaskor.neEncode, [obj, MAX64])
        if got[0] == 'ok':
            return pyvaskor.neDecode(got[1][0], got[1][1])[0]
        self.assertEqual(got, ('type', PREFIX + 'int'))
        return None

    # PyPy decides for itself: its 2.7 takes neither __index__ nor __int__,
    # its 3.9 takes __int__ before __index__ and refuses floats, its 3.11
    # goes with CPython 3.10+.
    PYPY_ROWS = {(2, 7): (None, None, None, None, 7), (3, 9): (4, 5, 22, None, 7),
                 (3, 11): (4, None, 11, None, None)}

    def test_table(self):
        v = sys.version_info[:2]
        row = (4 if v >= (3, 8) else None, 5 if v < (3, 10) else None, 11 if v >= (3, 8) else 22,
               2 if v < (3, 10) else None, 7 if v < (3, 10) else None)
        row = self.PYPY_ROWS.get(v, row) if PYPY else row
        with warnings.catch_warnings():
            warnings.simplefilter('ignore')
            objs = (IndexOnly(4), IntOnly(5), IndexAndInt(), 2.75, decimal.Decimal('7'))
            self.assertEqual(tuple(self.accepted(o) for o in objs), row)
            for refused in ('5', None, Raises(), ReturnsFloat(), ReturnsHuge(), ReturnsStr(),
                            1j, [1], IndexOnly(MAX64 + 1)):
                self.assertIsNone(self.accepted(refused), repr(refused))
            for obj, value in ((True, 1), (False, 0), (MyInt(3), 3), (MAX64, MAX64),
                               (MIN64, MIN64), (-1, -1)):
                self.assertEqual(self.accepted(obj), value)
            if PY2:
                self.assertEqual(self.accepted(OldStyleInt()), 9)

    @unittest.skipUnless((3, 8) <= sys.version_info[:2] < (3, 10) and not PYPY, 'no deprecated __int__ path')
    def test_deprecation_raised_as_error_is_refused(self):
        # With warnings as errors the host's conversion fails on __int__;
        # the pending DeprecationWarning must become the "int" TypeError.
        with warnings.catch_warnings():
            warnings.simplefilter('error')
            for fn, args, kind in ((pyvaskor.bpeEncode, ([IntOnly(5)],), 'int'),
                                   (pyvaskor.neDecode, ([1, 2.0], 1), 'byte'),
                                   (pyvaskor.bpeDecode, (b'\x01', IntOnly(8)), 'int')):
                self.assertEqual(outcome(fn, *args), ('type', PREFIX + kind))
            self.assertEqual(pyvaskor.neEncode([IndexOnly(3)]), (b'\x03', 1))


class ChangingSequences(unittest.TestCase):
    """The item count is read once; an item's conversion may change the list
    under the reader. Whatever happens, no crash and no stray error."""

    def test_item_that_empties_its_own_list_and_dies(self):
        class Suicide(object):
            def __init__(self, owner):
                self.owner = owner

            def __index__(self):
                owner = self.owner
                self.owner = None
                del owner[:]  # drops the last reference to this object
                return 1

            __int__ = __long__ = __index__  # __long__: PyPy 2.7 converts through it alone

        for fn, args, kind in ((pyvaskor.bpeEncode, (), 'int'), (pyvaskor.neDecode, (1,), 'byte')):
            for position in (0, 1, 2):
                values = [1, 2, 3]
                values[position] = Suicide(values)
                got = outcome(fn, values, *args)
                if position == 2:
                    # The last item: nothing is read after it.
                    self.assertEqual(got, outcome(fn, [1, 2, 1], *args))
                else:
                    self.assertEqual(got, ('type', PREFIX + kind), position)
                self.assertEqual(values, [])

    def test_growing_list_is_read_to_its_first_length(self):
        class Grower(object):
            def __init__(self, owner):
                self.owner = owner

            def __index__(self):
                self.owner.extend(range(1000, 1100))
                return 5

            __int__ = __long__ = __index__  # __long__: PyPy 2.7 converts through it alone

        for fn, args in ((pyvaskor.bpeEncode, ()), (pyvaskor.neEncode, ()), (pyvaskor.neDecode, (1,))):
            values = [1, 2, 3]
            values[1] = Grower(values)
            self.assertEqual(fn(values, *args), fn([1, 5, 3], *args))
            self.assertEqual(len(values), 103)

    def test_later_items_replaced_while_reading(self):
        class Replacer(object):
            def __init__(self, owner, new):
                self.owner, self.new = owner, new

            def __index__(self):
                self.owner[-1] = self.new
                return 2

            __int__ = __long__ = __index__  # __long__: PyPy 2.7 converts through it alone

        for fn, args, kind in ((pyvaskor.neEncode, (), 'int'), (pyvaskor.bpeDecode, (3,), 'byte')):
            values = [0, 0, 0]
            values[0] = Replacer(values, 7)
            self.assertEqual(fn(values, *args), fn([2, 0, 7], *args))
            values = [0, 0, 0]
            values[0] = Replacer(values, 'seven')
            self.assertEqual(outcome(fn, values, *args), ('type', PREFIX + kind))

    def test_tuple_items_that_fail_late(self):
        # A failure on the last of many items leaves nothing behind.
        for fn, args, kind in ((pyvaskor.bpeEncode, (), 'int'), (pyvaskor.neDecode, (2,), 'byte')):
            big = tuple(range(200000)) + (MAX64 + 1,)
            self.assertEqual(outcome(fn, big, *args), ('type', PREFIX + kind))
            self.assertEqual(fn((1, 2), *args), fn([1, 2], *args))


if __name__ == '__main__':
    unittest.main()
