"""Debug builds keep a total of all reference counts: every path through the
module, taken 10,000 times, must leave that total exactly where it was, or
every leak hunter run against a program that uses the module flags it."""

import array
import gc
import itertools
import sys
import unittest

import module_calls
import pyvaskor

PY2 = sys.version_info[0] == 2
CALLS = 10000
# A later init call makes a new base class, so failures are told by module.
NIMPY = 'nimpy'

INT64 = 'l' if PY2 else 'q'
VALUES = array.array(INT64, [1, 2, 3])
LARGE = array.array(INT64, range(20000))  # large enough to release the lock
LARGE_PACKED = pyvaskor.neEncode(list(LARGE))
OUT = array.array(INT64, [0] * 8)
VALUE_ERROR = ValueError.__module__
FRAME_ERROR = pyvaskor.FrameError.__module__

CASES = [
    # label, function, positional, keywords, exception raised
    ('positional', pyvaskor.bpeEncode, ([1, 2, 3],), {}, None),
    ('positional tuple', pyvaskor.neEncode, ((1, 2, 3),), {}, None),
    ('positional decode', pyvaskor.bpeDecode, (b'\x00\x53', 3), {}, None),
    ('positional item list', pyvaskor.neDecode, ([1, 2, 3], 0), {}, None),
    ('keyword', pyvaskor.bpeEncode, (), {'a': [1, 2, 3]}, None),
    ('keywords', pyvaskor.neDecode, (), {'bytes': b'\x01\x02', 'l': 0}, None),
    ('positional and keyword', pyvaskor.bpeDecode, (b'\x00\x53',), {'l': 3}, None),
    ('too few', pyvaskor.bpeEncode, (), {}, 'TypeError'),
    ('too many', pyvaskor.neDecode, (b'', 1, 2), {}, 'TypeError'),
    ('missing parameter', pyvaskor.bpeEncode, (), {'zz': 1}, 'TypeError'),
    ('missing after positional', pyvaskor.bpeDecode, (b'\x00',), {'zz': 1}, 'TypeError'),
    ('bad a', pyvaskor.bpeEncode, (5,), {}, 'TypeError'),
    ('bad item', pyvaskor.neEncode, ([1, 'x'],), {}, 'TypeError'),
    ('bad bytes', pyvaskor.bpeDecode, (5, 1), {}, 'TypeError'),
    ('bad byte item', pyvaskor.neDecode, ([1, 'x'], 1), {}, 'TypeError'),
    ('bad l', pyvaskor.bpeDecode, (b'', 'x'), {}, 'TypeError'),
    ('bad l by keyword', pyvaskor.neDecode, (), {'bytes': b'', 'l': 'x'}, 'TypeError'),
    ('check failure', pyvaskor.bpeDecode, (b'\x01', -1), {}, NIMPY),
    ('bit width 0 in front', pyvaskor.bpeDecode, (b'\x00\x01', 0), {}, NIMPY),
    ('byte width negative', pyvaskor.neDecode, (b'\x01', -1), {}, NIMPY),
    ('array', pyvaskor.bpeEncodeArray, (VALUES,), {}, None),
    ('array large', pyvaskor.neEncodeArray, (LARGE,), {}, None),
    ('array as list', pyvaskor.neEncodeArray, ([1, 2],), {}, None),
    ('array bytes', pyvaskor.bpeEncodeArray, (bytearray(b'ab'),), {}, None),
    ('array no buffer', pyvaskor.bpeEncodeArray, (5,), {}, 'TypeError'),
    ('array format', pyvaskor.neEncodeArray, (array.array('d', [1.0]),), {}, 'TypeError'),
    ('array unsigned', pyvaskor.neEncodeArray, (array.array('L', [2 ** 63]),) if PY2 else
     (array.array('Q', [2 ** 63]),), {}, 'TypeError'),
    ('array decode large', pyvaskor.neDecodeArray, LARGE_PACKED, {}, None),
    ('array decode out', pyvaskor.neDecodeArray, (), {'bytes': b'\x01\x02', 'l': 1, 'out': OUT}, None),
    ('array decode large out', pyvaskor.neDecodeArray, LARGE_PACKED + (LARGE,), {}, None),
    ('array decode out small', pyvaskor.neDecodeArray, (b'\x01' * 9, 1, OUT), {}, VALUE_ERROR),
    ('array decode out refused', pyvaskor.neDecodeArray, (b'\x01', 1, b'x' * 8), {}, 'TypeError'),
]


# Each path of every module function.
for _name, _fn, _calls in module_calls.functions():
    CASES += [(_name + ' required', _fn, _calls.required_args(), {}, None),
              (_name + ' all by keyword', _fn, (), _calls.good, None),
              (_name + ' refused', _fn, _calls.refused, {}, 'TypeError'),
              (_name + ' too many', _fn, _calls.all_args() + (1,), {}, 'TypeError')]
    if _calls.failing:
        CASES.append((_name + ' failing', _fn, _calls.failing, {},
                      {'nimpy': NIMPY, 'FrameError': FRAME_ERROR}.get(_calls.failure, VALUE_ERROR)))


def raised(fn, args, kwargs):
    try:
        fn(*args, **kwargs)
    except Exception as e:
        return type(e).__name__ if type(e) is TypeError else type(e).__module__
    return None


def drift(fn, args, kwargs, expected, times):
    """How far times calls move the total; the bookkeeping here is the same
    for every times, so only the calls make a difference."""
    caught = Exception if expected else ()
    gc.collect()
    before = sys.gettotalrefcount()
    # No counting integers: small ones are immortal on 3.12 and later, big
    # ones not, which would tell the two runs apart.
    for _ in itertools.repeat(None, times):
        try:
            if kwargs:
                fn(*args, **kwargs)
            else:
                fn(*args)
        except caught:
            pass
    if PY2:
        sys.exc_clear()
    # Failure classes live in reference cycles until the collector runs.
    gc.collect()
    return sys.gettotalrefcount() - before


@unittest.skipUnless(hasattr(sys, 'gettotalrefcount'), 'needs a debug build (reference totals)')
class TotalReferenceCount(unittest.TestCase):

    def test_every_path_leaves_the_total(self):
        drifts = []
        for label, fn, args, kwargs, expected in CASES:
            self.assertEqual(raised(fn, args, kwargs), expected, label)
            drift(fn, args, kwargs, expected, 100)
            # Against one call, so that both runs took the same paths once.
            # The host's own caches (Python 2's method cache, filled as new
            # failure classes are looked up) may still be filling: up to three
            # tries. A leak of a reference a call never reads 0.
            for _ in range(3):
                moved = (drift(fn, args, kwargs, expected, CALLS + 1)
                         - drift(fn, args, kwargs, expected, 1))
                if not moved:
                    break
            drifts.append((label, moved))
        moved = [d for d in drifts if d[1]]
        self.assertEqual(moved, [], '%d calls each moved the total:\n%s' % (
            CALLS, '\n'.join('  %-26s %+d' % d for d in drifts)))


if __name__ == '__main__':
    unittest.main()
