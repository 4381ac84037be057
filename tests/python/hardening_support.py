"""Shared by the test_hardening_* input sweeps: the model behind each
list function, how a call's outcome is recorded, and every
kind of object a caller could pass."""

import array
import ctypes
import decimal
import fractions
import sys
import warnings

import pyvaskor
import reference_model as model

PY2 = sys.version_info[0] == 2
PREFIX = 'Cannot convert python object to '
UNEXPECTED = 'Unexpected error encountered: '
CHECK_TEXT = 'bpe(76, 18) `item.parseBin(iitem) == rl` '
MIN64, MAX64 = -2 ** 63, 2 ** 63 - 1

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
