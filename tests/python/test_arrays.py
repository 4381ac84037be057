"""The array functions against the list functions: every accepted buffer
kind and format gives what the list function gives for its items, every
refused one a TypeError saying what came, buffers are given back on every
path, and large calls let other threads run Python meanwhile."""

import array
import mmap
import os
import platform
import random
import sys
import threading
import time
import unittest

import pyvaskor
import support

try:
    import numpy
    # Another machine's numpy on the path (an emulated interpreter sees the
    # build machine's) imports as an empty namespace package.
    numpy.ndarray
except (ImportError, AttributeError):
    numpy = None

PY2 = sys.version_info[0] == 2
# PyPy 2.7 exports no buffer of a memoryview to native code.
VIEWS = not (PY2 and support.PYPY)
# The 8-byte signed typecode of array.array: Python 2 has no 'q'.
INT64 = 'l' if PY2 else 'q'
ENCODERS = [(pyvaskor.bpeEncodeArray, pyvaskor.bpeEncode), (pyvaskor.neEncodeArray, pyvaskor.neEncode)]
DECODERS = [(pyvaskor.bpeDecodeArray, pyvaskor.bpeDecode), (pyvaskor.neDecodeArray, pyvaskor.neDecode)]

# typecode: (least, greatest) of the items an array of it holds here.
RANGES = {'b': (-128, 127), 'B': (0, 255), 'h': (-2 ** 15, 2 ** 15 - 1), 'H': (0, 2 ** 16 - 1),
          'i': (-2 ** 31, 2 ** 31 - 1), 'I': (0, 2 ** 32 - 1), 'l': (-2 ** 63, 2 ** 63 - 1),
          'L': (0, 2 ** 63 - 1), 'q': (-2 ** 63, 2 ** 63 - 1), 'Q': (0, 2 ** 63 - 1)}
TYPECODES = [c for c in 'bBhHiIlLqQ' if not (PY2 and c in 'qQ')]


def values_for(code, rng, n):
    lo, hi = RANGES[code]
    small = [v for v in (lo, hi, 0, 1, -1) if lo <= v <= hi]
    return small + [rng.randint(lo, hi) >> rng.randint(0, 63) for _ in range(n)]


def outcome(fn, *args):
    """What a call gives, or the class name, module and message it raises."""
    try:
        return fn(*args)
    except Exception as e:
        return (type(e).__name__, type(e).__module__, str(e))


class Accepted(unittest.TestCase):

    def check_encoders(self, obj, items, label):
        for array_fn, list_fn in ENCODERS:
            self.assertEqual(array_fn(obj), list_fn(items), '%s %s' % (array_fn.__name__, label))

    def test_array_typecodes(self):
        rng = random.Random(5)
        for code in TYPECODES:
            for n in (0, 1, 7, 300):
                items = values_for(code, rng, n)[:n]
                self.check_encoders(array.array(code, items), items, code)

    def test_byte_kinds_and_sequences(self):
        data = bytearray(range(256)) * 3
        m = mmap.mmap(-1, len(data))
        m.write(bytes(data))
        kinds = [('bytes', bytes(data)), ('bytearray', data), ('mmap', m), ('list', list(data)),
                 ('tuple', tuple(data))] + [('memoryview', memoryview(data))] * VIEWS
        for label, obj in kinds:
            self.check_encoders(obj, list(bytearray(data)), label)
        m.close()

    @unittest.skipIf(PY2, 'memoryview.cast is Python 3')
    def test_memoryview_shapes(self):
        a = array.array('q', range(-12, 12))
        self.check_encoders(memoryview(a).cast('B').cast('q', [4, 6]), list(a), '2-d cast')
        self.check_encoders(memoryview(a)[3:9], list(a)[3:9], 'slice')

    @unittest.skipIf(numpy is None, 'needs numpy')
    def test_numpy_dtypes_and_shapes(self):
        rng = random.Random(7)
        for dtype, code in [('i1', 'b'), ('u1', 'B'), ('i2', 'h'), ('u2', 'H'), ('i4', 'i'),
                            ('u4', 'I'), ('i8', 'q'), ('u8', 'Q'), ('longlong', 'q'), ('uint', 'L')]:
            items = values_for(code, rng, 60)[:60]
            a = numpy.array(items, dtype=dtype).reshape(3, 4, 5)
            self.check_encoders(a, items, dtype)
            self.check_encoders(a[1], items[20:40], dtype + ' row')
        # Unaligned 8-byte items are read as well.
        raw = numpy.zeros(8 * 50 + 1, numpy.uint8)[1:].view(numpy.int64)
        raw[:] = numpy.arange(50) * 2 ** 33
        self.check_encoders(raw, list(range(0, 50 * 2 ** 33, 2 ** 33)), 'unaligned')

    def test_decoders_read_any_buffer_as_bytes(self):
        rng = random.Random(11)
        for width in (1, 3, 8, 13, 40, 64):
            for array_fn, list_fn in DECODERS:
                data = bytearray(rng.getrandbits(8) for _ in range(rng.randint(0, 200)))
                m = mmap.mmap(-1, max(len(data), 1))
                m.write(bytes(data))
                kinds = [bytes(data), data, list(data)] + [memoryview(data)] * VIEWS
                if data:
                    kinds.append(m)
                if numpy is not None:
                    kinds.append(numpy.frombuffer(bytes(data), numpy.uint8))
                expected = list_fn(bytes(data), width)
                for obj in kinds:
                    got = array_fn(obj, width)
                    self.assertEqual((got.typecode, got.tolist()), (INT64, expected), type(obj))
                in_front = bytes(bytearray([width % 9])) + bytes(data)
                self.assertEqual(array_fn(in_front, 0).tolist(), list_fn(in_front, 0))
                m.close()

    def test_new_arrays_are_ordinary(self):
        # Large results get storage of their own: it must grow, shrink and
        # copy as any array's does.
        for n in (0, 1, 3, 700000):
            packed, width = pyvaskor.bpeEncode(list(range(-n, n, 2)))
            got = pyvaskor.bpeDecodeArray(packed, width)
            expected = pyvaskor.bpeDecode(packed, width)
            self.assertEqual(got.tolist(), expected)
            for seq in (got, expected):
                seq.append(-1)
                seq.extend(seq[:5])
                del seq[1:3]
            self.assertEqual((got.buffer_info()[1], got.tolist()), (len(expected), expected), n)

    @unittest.skipUnless(os.path.isdir('/sys/kernel/mm/transparent_hugepage') and not support.PYPY
                         and platform.machine() == 'x86_64', 'needs a native Linux with huge pages, CPython')
    def test_large_results_are_advised_as_huge_pages(self):
        got = pyvaskor.neDecodeArray(b'\x07' * (3 << 20), 1)
        middle = got.buffer_info()[0] + len(got) * 4
        with open('/proc/self/smaps') as f:
            flags = None
            for line in f:
                fields = line.split()
                if '-' in fields[0] and len(fields[0].split('-')) == 2 and ':' not in fields[0]:
                    lo, hi = [int(x, 16) for x in fields[0].split('-')]
                    inside = lo <= middle < hi
                elif inside and fields[0] == 'VmFlags:':
                    flags = fields[1:]
        self.assertIn('hg', flags)

    @unittest.skipIf(numpy is None, 'needs numpy')
    def test_numpy_round_trip(self):
        a = numpy.arange(0, 100000, 7, dtype=numpy.int64) * 3 ** 20
        for (enc, _), (dec, _) in zip(ENCODERS, DECODERS):
            packed, width = enc(a)
            back = numpy.frombuffer(dec(packed, width), numpy.int64)
            # Bit-packed data may decode with zeros in front.
            self.assertTrue(numpy.array_equal(back[len(back) - len(a):], a), enc.__name__)

    def test_out(self):
        packed, width = pyvaskor.neEncode([5, -6, 7])
        for dec, _ in DECODERS:
            expected = dec(packed, width).tolist()
            exact = array.array(INT64, [0] * len(expected))
            self.assertEqual(dec(packed, width, exact), len(expected))
            self.assertEqual(exact.tolist(), expected)
            larger = array.array(INT64, [9] * (len(expected) + 3))
            self.assertEqual(dec(bytes=packed, l=width, out=larger), len(expected))
            self.assertEqual(larger.tolist(), expected + [9, 9, 9])
            small = array.array(INT64, [9] * (len(expected) - 1))
            self.assertEqual(outcome(dec, packed, width, small)[::2],
                             ('ValueError', '%s() needs room for %d values, out has %d'
                              % (dec.__name__, len(expected), len(small))))
            self.assertEqual(small.tolist(), [9] * len(small))
            self.assertEqual(dec(packed, width, None).tolist(), expected)


class Refused(unittest.TestCase):

    def test_refused_kinds(self):
        expected = 'a C-contiguous buffer of integers in native byte order'
        cases = [(array.array('d', [1.0]), "format 'd' with item size 8"),
                 (5, "an object of type 'int' without a buffer"),
                 (None, "an object of type 'NoneType' without a buffer")]
        if not PY2:
            cases += [(memoryview(b'abcd')[::2], "a non-contiguous buffer of format 'B' with item size 1"),
                      (u'text', "an object of type 'str' without a buffer")]
        if numpy is not None:
            cases += [(numpy.zeros(3, bool), "format '?' with item size 1"),
                      (numpy.zeros(3, '>i8'), "format '>q' with item size 8"),
                      (numpy.zeros((3, 3), numpy.int64, order='F'), 'a non-contiguous buffer of format')]
        for obj, came in cases:
            for fn, _ in ENCODERS:
                message = support.type_error(fn, obj)
                self.assertIn('%s() expected %s' % (fn.__name__, expected), message)
                self.assertIn('got ' + came, message)

    def test_unsigned_above_int64_as_list_items(self):
        big = [[0, 2 ** 63], [2 ** 64 - 1]]
        kinds = [] if PY2 else [array.array('Q', v) for v in big]
        # One byte in, so the items are not read in place but copied.
        kinds += [] if PY2 else [memoryview(b'\0' + array.array('Q', v).tobytes())[1:].cast('Q') for v in big]
        if numpy is not None:
            kinds += [numpy.array(v, numpy.uint64) for v in big]
        for obj in kinds:
            for array_fn, list_fn in ENCODERS:
                self.assertEqual(support.type_error(array_fn, obj), support.type_error(list_fn, list(obj)))

    def test_refused_out(self):
        packed, width = pyvaskor.bpeEncode([1, 2])
        outs = [array.array('i', [0] * 8), b'\x00' * 64, bytearray(64)]
        if not PY2:
            outs.append(memoryview(array.array('q', [0] * 8))[::2])
        if numpy is not None:
            outs.append(numpy.zeros(8 * 8 + 1, numpy.uint8)[1:].view(numpy.int64))  # unaligned
        for out in outs:
            message = support.type_error(pyvaskor.bpeDecodeArray, packed, width, out)
            self.assertIn('expected for out a writable C-contiguous buffer of 8-byte signed integers',
                          message)
        # Decoding a buffer into itself is refused, and leaves it as it was.
        shared = array.array(INT64, [1, 2, 3, 4])
        for data in [memoryview(shared), memoryview(shared)[1:3]] if not PY2 else []:
            self.assertEqual(outcome(pyvaskor.neDecodeArray, data, 1, shared)[::2],
                             ('ValueError', 'neDecodeArray() cannot decode into out: it shares bytes with the input'))
            self.assertEqual(shared.tolist(), [1, 2, 3, 4])

    def test_codec_failures_match_list_decoders(self):
        for data, l in [(b'\x01', -1), (b'\x00\x01', 0), (b'\x01', 70), (b'\x41\x02', 0), (b'', -3)]:
            for array_fn, list_fn in DECODERS:
                got = outcome(array_fn, data, l)
                want = outcome(list_fn, data, l)
                if isinstance(want, list):
                    self.assertEqual(got.tolist(), want)
                else:
                    self.assertEqual(got, want, (array_fn.__name__, data, l))

    def test_argument_checks(self):
        for fn, args, kwargs, message in [
                (pyvaskor.bpeEncodeArray, (), {}, 'bpeEncodeArray() takes exactly 1 arguments (0 given)'),
                (pyvaskor.neDecodeArray, (b'',), {}, 'neDecodeArray() takes exactly 3 arguments (1 given)'),
                (pyvaskor.bpeDecodeArray, (b'', 1, None, 2), {}, 'bpeDecodeArray() takes exactly 3 arguments (4 given)'),
                (pyvaskor.neDecodeArray, (b'',), {'zz': 1}, 'neDecodeArray() missing 1 required positional argument: l'),
                (pyvaskor.bpeDecodeArray, (b'', 1), {'bytes': b''}, 'bpeDecodeArray() got multiple values for argument bytes'),
                (pyvaskor.bpeDecodeArray, (b'', 1), {'outt': 1}, 'bpeDecodeArray() got an unexpected keyword argument outt')]:
            self.assertEqual(support.type_error(fn, *args, **kwargs), message)


class Released(unittest.TestCase):

    def test_every_path_gives_the_buffer_back(self):
        good, width = pyvaskor.bpeEncode([1, 2, 3])
        paths = [(pyvaskor.bpeEncodeArray, lambda b: (b,)),
                 (pyvaskor.neDecodeArray, lambda b: (b, 1)),
                 (pyvaskor.bpeDecodeArray, lambda b: (b, -1)),  # codec failure
                 (pyvaskor.bpeDecodeArray, lambda b: (b, 'x')),  # l refused after the take
                 (pyvaskor.bpeDecodeArray, lambda b: (good, width, b)),  # out refused
                 ]
        for fn, args in paths:
            data = bytearray(b'\x05' * 16)
            outcome(fn, *args(data))
            data.extend(b'\x01')  # raises BufferError while a buffer is still taken
            ints = array.array(INT64, [1, 2])
            for call in [lambda: fn(ints) if fn is pyvaskor.bpeEncodeArray else fn(good, width, ints),
                         lambda: pyvaskor.neDecodeArray(b'\x01' * 9, 1, ints)]:  # out too small
                outcome(call)
                ints.append(3)
        m = mmap.mmap(-1, 16)
        outcome(pyvaskor.neDecodeArray, m, 1)
        m.close()

    def test_input_resized_by_the_conversion_of_l(self):
        # Where the exporter holds its buffer the resize fails, and with it
        # l's conversion; elsewhere (PyPy, Python 2's arrays) the input is
        # decoded as it stands after the resize, never from freed storage.
        for fn, list_fn in DECODERS:
            data = array.array('B', pyvaskor.neEncode(list(range(5000)))[0])

            class Shrinking(object):
                def __index__(self):
                    del data[6:]
                    bytearray(5000 * 3)  # takes what was freed
                    return 2
                __int__ = __long__ = __index__
            got = outcome(fn, data, Shrinking())
            if len(data) > 6:
                self.assertEqual(got[::2], ('TypeError', 'Cannot convert python object to int'))
            else:
                self.assertEqual(list(got), list_fn(bytes(bytearray(data)), 2), fn.__name__)


class Threads(unittest.TestCase):

    def test_python_runs_during_a_large_call(self):
        # The lock is handed over only where a thread lets it go: the counter
        # can move between the two readings only while the call has released it.
        state = {'count': 0, 'done': False}

        def count():
            while not state['done']:
                state['count'] += 1
                time.sleep(0)

        packed, width = pyvaskor.bpeEncode(list(range(2 ** 20)))
        set_interval = getattr(sys, 'setswitchinterval', None)
        old = sys.getswitchinterval() if set_interval else sys.getcheckinterval()
        (set_interval or sys.setcheckinterval)(1000 if set_interval else 2 ** 30)
        counter = threading.Thread(target=count)
        counter.start()
        try:
            while state['count'] == 0:
                time.sleep(0.001)
            moved = 0
            for _ in range(50):
                before = state['count']
                pyvaskor.bpeDecodeArray(packed, width)
                moved += state['count'] - before
                if moved:
                    break
        finally:
            state['done'] = True
            (set_interval or sys.setcheckinterval)(old)
            counter.join()
        self.assertGreater(moved, 0)

    def test_concurrent_calls(self):
        rng = random.Random(3)
        inputs = [array.array(INT64, [rng.randint(0, 2 ** 40) for _ in range(40000)]) for _ in range(4)]
        expected = [(pyvaskor.bpeEncode(list(a)), pyvaskor.neEncode(list(a))) for a in inputs]
        results = [None] * len(inputs)

        def work(k):
            got = []
            for _ in range(5):
                bpe, ne = pyvaskor.bpeEncodeArray(inputs[k]), pyvaskor.neEncodeArray(inputs[k])
                back = pyvaskor.neDecodeArray(ne[0], ne[1])
                got.append((bpe, ne, back == inputs[k]))
            results[k] = got

        threads = [threading.Thread(target=work, args=(k,)) for k in range(len(inputs))]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        for k, got in enumerate(results):
            self.assertEqual(got, [expected[k] + (True,)] * 5)


if __name__ == '__main__':
    unittest.main()
