"""The module's functions, taken from the module itself, each with the calls
that the tests run over every function make of it. The argument, form,
hygiene, reference-count and load tests cover a function added to the
module once it has an entry here, and fail until it has one."""

import array
import sys

import pyvaskor

PY2 = sys.version_info[0] == 2
INT64 = 'l' if PY2 else 'q'

# A frame of four int16 values (whole-byte, delta), and one cut short.
FRAME = pyvaskor.frameEncode(array.array('h', [1000, 1003, 999, 1999]), 'ne', 'delta')
CUT_FRAME = FRAME[:-1]


class Calls(object):
    """params: every parameter in order, the first `required` of them
    required; good: a valid value for each, by name; refused: positional
    arguments whose conversion fails (TypeError); failing: arguments the
    codec refuses, and `failure`, what that raises ('nimpy': a module
    exception, 'ValueError', 'FrameError'); documented: the doc starts with the
    signature (the list functions have no doc)."""

    def __init__(self, params, required, good, refused, failing=None, failure=None, documented=True):
        self.params, self.required, self.good = params, required, good
        self.refused, self.failing, self.failure = refused, failing, failure
        self.documented = documented

    def required_args(self):
        return tuple(self.good[p] for p in self.params[:self.required])

    def all_args(self):
        return tuple(self.good[p] for p in self.params)


def _list_encoder(refused):
    return Calls(('a',), 1, {'a': [5, 0, 9]}, refused, documented=False)


def _list_decoder(good, refused):
    return Calls(('bytes', 'l'), 2, {'bytes': good[0], 'l': good[1]}, refused, (b'\x01', -1), 'nimpy',
                 documented=False)


def _array_decoder(good):
    return Calls(('bytes', 'l', 'out'), 2, {'bytes': good[0], 'l': good[1], 'out': array.array(INT64, [0] * 8)},
                 (good[0], 'x'), (b'\x01', -1), 'nimpy')


CALLS = {
    'bpeEncode': _list_encoder(('abc',)),
    'neEncode': _list_encoder(([1, 'x'],)),
    'bpeDecode': _list_decoder((b'\x05\x14\x09', 0), (5, 1)),
    'neDecode': _list_decoder((b'\x01\x02', 1), (b'', 'x')),
    'bpeEncodeArray': Calls(('a',), 1, {'a': array.array('h', [5, 0, 9])}, (array.array('d', [1.0]),)),
    'neEncodeArray': Calls(('a',), 1, {'a': bytearray(b'\x05\x00\x09')}, (5,)),
    'bpeDecodeArray': _array_decoder((b'\x00\x53', 3)),
    'neDecodeArray': _array_decoder((b'\x01\x02', 1)),
    'frameEncode': Calls(('a', 'layout', 'transform'), 1,
                         {'a': array.array('h', [5, 0, 9]), 'layout': 'ne', 'transform': 'delta'},
                         (array.array('d', [1.0]),), ([1, 2], 'bpe', 'x'), 'ValueError'),
    'frameDecode': Calls(('frame', 'out', 'start', 'stop'), 1,
                         {'frame': FRAME, 'out': array.array('h', [0] * 8), 'start': 1, 'stop': -1},
                         (FRAME, b'x' * 8), (CUT_FRAME,), 'FrameError'),
    'frameInfo': Calls(('frame',), 1, {'frame': FRAME}, (5,), (CUT_FRAME,), 'FrameError'),
}


def names():
    """Every function of the module. (Where PyPy 2.7 loads it through the
    loader beside it, the module also holds what the loader imported.)"""
    return sorted(n for n in dir(pyvaskor) if not n.startswith('_')
                  and callable(getattr(pyvaskor, n)) and not isinstance(getattr(pyvaskor, n), type))


def functions():
    """(name, function, Calls) for every function of the module."""
    return [(n, getattr(pyvaskor, n), CALLS[n]) for n in names()]
