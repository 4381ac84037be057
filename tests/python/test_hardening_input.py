"""Everything a caller can get wrong, swept systematically: every call form,
every kind of object for every parameter and item, integers at and past the
64-bit limits, objects with __index__ or __int__, lists that change while
they are read, and every width extreme over random data. Each call must give
the specified exception or the reference model's result, never a crash, a
hang, another exception or a partial result."""

import array
import ctypes
import decimal
import fractions
import itertools
import random
import sys
import unittest
import warnings

import pyvaskor
import reference_model as model

PY2 = sys.version_info[0] == 2
PREFIX = 'Cannot convert python object to '
UNEXPECTED = 'Unexpected error encountered: '
CHECK_TEXT = 'bpe(76, 18) `item.parseBin(iitem) == rl` '
MIN64, MAX64 = -2 ** 63, 2 ** 63 - 1

PARAMS = {
    'bpeEncode': ('a',),
    'neEncode': ('a',),
    'bpeDecode': ('bytes', 'l'),
    'neDecode': ('bytes', 'l'),
}
# Widths at which the model defines every byte count.
DEC_WIDTH = {'bpeDecode': 8, 'neDecode': 1}
MODEL = {
    'bpeEncode': model.bpe_encode,
    'neEncode': model.ne_encode,
    'bpeDecode': model.bpe_decode,
    'neDecode': model.ne_decode,
}


def as_bytes(items):
    return bytes(bytearray(items))


def outcome(fn, *args, **kwargs):
    """('ok', result), ('type', message) for a TypeError, or ('module',
    class name, message) for a module exception. Any other exception, or a
    TypeError of a subclass, propagates and fails the test."""
    try:
        return ('ok', fn(*args, **kwargs))
    except TypeError as e:
        if type(e) is not TypeError:
            raise
        return ('type', str(e))
    except pyvaskor.NimPyException as e:
        cls = type(e)
        if cls.__module__ != 'nimpy' or cls is pyvaskor.NimPyException:
            raise
        return ('module', cls.__name__, str(e))


def host_long_long(obj):
    """What the interpreter's own PyLong_AsLongLong makes of obj: the value,
    or None when it refuses. The module must agree on every object."""
    conv = ctypes.pythonapi.PyLong_AsLongLong
    conv.restype = ctypes.c_longlong
    conv.argtypes = [ctypes.py_object]
    with warnings.catch_warnings():
        warnings.simplefilter('ignore')
        try:
            return conv(obj)
        except Exception:
            return None


def call_raw(fn, args, kwargs):
    """Hands any keyword dictionary to the function, keys that are not str
    included, as the interpreter would never do itself."""
    call = ctypes.pythonapi.PyObject_Call
    call.restype = ctypes.py_object
    call.argtypes = [ctypes.py_object, ctypes.py_object, ctypes.py_object]
    return call(fn, tuple(args), kwargs)


class MyInt(int):
    pass


class MyList(list):
    pass


class MyTuple(tuple):
    pass


class MyBytes(bytes):
    pass


class MyStr(str):
    pass


class IndexOnly(object):
    def __init__(self, v):
        self.v = v

    def __index__(self):
        return self.v


class IntOnly(object):
    def __init__(self, v):
        self.v = v

    def __int__(self):
        return self.v


class IndexAndInt(object):
    """Python 3.8 and later take __index__, older hosts __int__."""

    def __index__(self):
        return 11

    def __int__(self):
        return 22


class Raises(object):
    def __index__(self):
        raise RuntimeError('refused')

    __int__ = __index__


class ReturnsFloat(object):
    def __index__(self):
        return 1.5

    __int__ = __index__


class ReturnsHuge(object):
    def __index__(self):
        return 2 ** 64

    __int__ = __index__


class ReturnsStr(object):
    def __index__(self):
        return '3'

    __int__ = __index__


if PY2:
    class OldStyleInt:
        def __int__(self):
            return 9


def objects():
    """(label, object) for every kind of object a caller could pass. All
    stateless, so each can be handed to the host's conversion first."""
    objs = [
        ('None', None), ('float', 2.0), ('fraction float', 1.5), ('complex', 1j),
        ('empty str', ''), ('str', 'ab'), ('unicode', u'ab'), ('MyStr', MyStr('ab')),
        ('empty bytes', b''), ('bytes', b'\x01\x02'), ('MyBytes', MyBytes(b'\x01\x02')),
        ('bytearray', bytearray(b'\x01\x02')), ('memoryview', memoryview(b'\x01\x02')),
        ('array B', array.array('B', [1, 2])), ('array q', array.array('l', [1, 2])),
        ('empty list', []), ('list', [1, 2]), ('MyList', MyList([1, 2])),
        ('empty tuple', ()), ('tuple', (1, 2)), ('MyTuple', MyTuple((1, 2))),
        ('nested list', [[1], [2]]), ('dict', {1: 2}), ('set', set([1])),
        ('frozenset', frozenset([1])), ('object', object()), ('type', int), ('builtin', len),
        ('module', sys), ('iterator', iter([1, 2])), ('generator', (x for x in [1, 2])),
        ('Decimal', decimal.Decimal('7')), ('Fraction', fractions.Fraction(7, 1)),
        ('True', True), ('False', False), ('zero', 0), ('minus one', -1),
        ('max', MAX64), ('min', MIN64), ('max+1', MAX64 + 1), ('min-1', MIN64 - 1),
        ('2**64', 2 ** 64), ('-2**64', -2 ** 64), ('10**40', 10 ** 40), ('MyInt', MyInt(3)),
        ('IndexOnly', IndexOnly(4)), ('IntOnly', IntOnly(5)), ('IndexAndInt', IndexAndInt()),
        ('Raises', Raises()), ('ReturnsFloat', ReturnsFloat()), ('ReturnsHuge', ReturnsHuge()),
        ('ReturnsStr', ReturnsStr()), ('IndexOnly max+1', IndexOnly(MAX64 + 1)),
    ]
    if PY2:
        objs += [('long', long(6)), ('big long', long(2 ** 70)),  # noqa: F821
                 ('buffer', buffer(b'\x01\x02')),  # noqa: F821
                 ('xrange', xrange(2)), ('old-style __int__', OldStyleInt())]  # noqa: F821
    else:
        objs += [('range', range(2))]
    return objs


def is_byte_sequence(obj):
    return isinstance(obj, (bytes, list, tuple))


class CallFormSweep(unittest.TestCase):
    """All positional counts with every subset of keywords, the right ones,
    repeated ones and unknown ones, against the argument-checking rules: the
    count first, then the parameters the positions leave open."""

    GOOD = {'a': [5, 0, 9], 'bytes': b'\x05\x14\x09', 'l': 0}

    def expected(self, name, nargs, keys):
        params = PARAMS[name]
        given = nargs + len(keys)
        if given != len(params):
            return ('type', '%s() takes exactly %d arguments (%d given)' % (name, len(params), given))
        for p in params[nargs:]:
            if p not in keys:
                return ('type', '%s() missing 1 required positional argument: %s' % (name, p))
        # With every parameter required, a call that got this far has used
        # each keyword for an open parameter: it is accepted.
        return ('ok', getattr(pyvaskor, name)(*[self.GOOD[p] for p in params]))

    def test_every_form(self):
        pool = ['a', 'bytes', 'l', 'x', 'A', 'bytes_', 'self']
        for name, params in sorted(PARAMS.items()):
            fn = getattr(pyvaskor, name)
            for nargs in range(0, 4):
                positional = [self.GOOD.get(p, 1) for p in (params + ('x', 'x', 'x'))[:nargs]]
                for k in range(0, 4):
                    for keys in itertools.combinations(pool, k):
                        kwargs = dict((key, self.GOOD.get(key, 1)) for key in keys)
                        self.assertEqual(outcome(fn, *positional, **kwargs),
                                         self.expected(name, nargs, keys), (name, nargs, keys))

    def test_keys_the_interpreter_never_passes(self):
        # Keys that are not str reach the module only through the C API.
        for name, params in sorted(PARAMS.items()):
            fn = getattr(pyvaskor, name)
            last = params[-1]
            positional = [self.GOOD[p] for p in params[:-1]]
            missing = '%s() missing 1 required positional argument: %s' % (name, last)
            for key in (1, None, (last,), 1.5):
                self.assertEqual(outcome(call_raw, fn, positional, {key: self.GOOD[last]}),
                                 ('type', missing), (name, key))
            expected = fn(*[self.GOOD[p] for p in params])
            # A byte-string key equals the parameter's name only where str is bytes.
            got = outcome(call_raw, fn, positional, {last.encode('ascii'): self.GOOD[last]})
            self.assertEqual(got, ('ok', expected) if PY2 else ('type', missing), name)
            self.assertEqual(outcome(call_raw, fn, positional, {u'' + last: self.GOOD[last]}),
                             ('ok', expected), name)
            self.assertEqual(outcome(call_raw, fn, positional, {MyStr(last): self.GOOD[last]}),
                             ('ok', expected), name)


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

    def test_table(self):
        v = sys.version_info[:2]
        with warnings.catch_warnings():
            warnings.simplefilter('ignore')
            self.assertEqual(self.accepted(IndexOnly(4)), 4 if v >= (3, 8) else None)
            self.assertEqual(self.accepted(IntOnly(5)), 5 if v < (3, 10) else None)
            self.assertEqual(self.accepted(IndexAndInt()), 11 if v >= (3, 8) else 22)
            self.assertEqual(self.accepted(2.75), 2 if v < (3, 10) else None)
            self.assertEqual(self.accepted(decimal.Decimal('7')), 7 if v < (3, 10) else None)
            for refused in ('5', None, Raises(), ReturnsFloat(), ReturnsHuge(), ReturnsStr(),
                            1j, [1], IndexOnly(MAX64 + 1)):
                self.assertIsNone(self.accepted(refused), repr(refused))
            for obj, value in ((True, 1), (False, 0), (MyInt(3), 3), (MAX64, MAX64),
                               (MIN64, MIN64), (-1, -1)):
                self.assertEqual(self.accepted(obj), value)
            if PY2:
                self.assertEqual(self.accepted(OldStyleInt()), 9)

    @unittest.skipUnless((3, 8) <= sys.version_info[:2] < (3, 10), 'no deprecated __int__ path')
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

            __int__ = __index__

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

            __int__ = __index__

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

            __int__ = __index__

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
