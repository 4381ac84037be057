"""The frame functions: every buffer kind and item size round-trips through
every layout and transform at its type's edges; frames of small inputs
byte for byte as the format gives them; ranges as slices; out=; refused and
corrupt input and the classes it raises; the header and blocks read alone;
signatures shown."""

import array
import mmap
import random
import struct
import sys
import unittest

import pyvaskor
import support

try:
    import numpy
    numpy.ndarray
except (ImportError, AttributeError):
    numpy = None

PY2 = sys.version_info[0] == 2
TYPECODES = [c for c in 'bBhHiIlLqQ' if not (PY2 and c in 'qQ')]
INT64 = 'l' if PY2 else 'q'
OPTIONS = ([(layout, transform) for layout in ('bpe', 'ne') for transform in ('for', 'delta')] +
           [('blocked', transform) for transform in ('auto', 'for', 'delta')])
SCHEMES = ('constant', 'for', 'delta', 'patched', 'patched_delta', 'dictionary', 'rle')


def result_code(itemsize, signed):
    """The typecode of the array frameDecode gives for such items."""
    code = {1: 'b', 2: 'h', 4: 'i', 8: 'l' if PY2 else 'q'}[itemsize]
    return code if signed else code.upper()


def edge_values(itemsize, signed, rng):
    lo, hi = (-2 ** (8 * itemsize - 1), 2 ** (8 * itemsize - 1) - 1) if signed else (0, 2 ** (8 * itemsize) - 1)
    return [lo, hi, 0, hi, lo, lo + 1, hi - 1] + [rng.randint(lo, hi) >> rng.randint(0, 8 * itemsize)
                                                   for _ in range(40)]


def frame(version, layout, dtype, transform, width, count, reference, first, payload):
    """A frame from its fields, as the header's layout puts them."""
    return (b'VSKF' + struct.pack('<BBBBB7xQqq', version, layout, dtype, transform, width, count,
                                  reference, first) + payload)


class RoundTrips(unittest.TestCase):

    def check(self, obj, values, itemsize, signed, label):
        for layout, transform in OPTIONS:
            packed = pyvaskor.frameEncode(obj, layout, transform)
            self.assertIs(type(packed), bytes)
            got = pyvaskor.frameDecode(packed)
            where = (label, layout, transform)
            self.assertEqual((got.typecode, got.tolist()), (result_code(itemsize, signed), values), where)
            info = pyvaskor.frameInfo(packed)
            dtype = ('int' if signed else 'uint') + str(8 * itemsize)
            self.assertEqual((info['dtype'], info['itemsize'], info['count'], info['nbytes']),
                             (dtype, itemsize, len(values), len(packed)), where)

    def test_array_typecodes_at_their_edges(self):
        rng = random.Random(3)
        for code in TYPECODES:
            a = array.array(code)
            values = edge_values(a.itemsize, code.islower(), rng)
            for n in (0, 1, 2, len(values)):
                self.check(array.array(code, values[:n]), values[:n], a.itemsize, code.islower(), code)

    def test_byte_kinds_and_sequences(self):
        data = bytearray(range(256)) + bytearray(range(255, -1, -3))
        m = mmap.mmap(-1, len(data))
        m.write(bytes(data))
        kinds = [bytes(data), data, m] + [memoryview(data)] * (not (PY2 and support.PYPY))
        for obj in kinds:
            self.check(obj, list(data), 1, False, type(obj).__name__)
        m.close()
        values = [-2 ** 63, 2 ** 63 - 1, 0, -1, 5]
        for seq in (values, tuple(values)):
            self.check(seq, values, 8, True, type(seq).__name__)

    @unittest.skipIf(numpy is None, 'needs numpy')
    def test_numpy_dtypes_and_shapes(self):
        rng = random.Random(5)
        for dtype in ('i1', 'u1', 'i2', 'u2', 'i4', 'u4', 'i8', 'u8'):
            info = numpy.iinfo(dtype)
            values = edge_values(info.bits // 8, info.min < 0, rng)[:45]
            a = numpy.array(values, dtype=dtype).reshape(3, 5, 3)
            self.check(a, values, info.bits // 8, info.min < 0, dtype)
            # Unaligned items, one byte in.
            raw = numpy.zeros(a.nbytes + 1, numpy.uint8)[1:].view(dtype)
            raw[:] = values
            self.check(raw, values, info.bits // 8, info.min < 0, dtype + ' unaligned')

    def test_large_input(self):
        rng = random.Random(9)
        values = array.array('i', [rng.randint(-2 ** 20, 2 ** 20) for _ in range(100000)])
        for layout, transform in OPTIONS:
            self.assertEqual(pyvaskor.frameDecode(pyvaskor.frameEncode(values, layout, transform)), values)


class ExactFrames(unittest.TestCase):

    def test_small_inputs(self):
        cases = [
            # int8, bit-packed, frame of reference: least -1, packed 4 0 8 1 at 4 bits.
            ((array.array('b', [3, -1, 7, 0]), 'bpe', 'for'),
             frame(1, 1, 0x01, 1, 4, 4, -1, 0, b'\x40\x81')),
            # int16, whole-byte, delta: differences 3 -4 1000, least -4, packed 7 0 1004 in 2 bytes.
            ((array.array('h', [1000, 1003, 999, 1999]), 'ne', 'delta'),
             frame(1, 2, 0x02, 2, 2, 4, -4, 1000, b'\x00\x07\x00\x00\x03\xec')),
            # int64 list, all equal: width 0, no payload.
            (([5, 5, 5],), frame(1, 1, 0x08, 1, 0, 3, 5, 0, b'')),
            # uint8, bit-packed, frame of reference: packed 2 7 0 at 3 bits, 7 bits of padding in front.
            ((b'\x0a\x0f\x08', 'bpe'), frame(1, 1, 0x11, 1, 3, 3, 8, 0, b'\x00\xb8')),
        ]
        for args, expected in cases:
            self.assertEqual(pyvaskor.frameEncode(*args), expected, args)
        # A version 1 frame is one block of its transform's scheme.
        self.assertEqual(pyvaskor.frameInfo(cases[1][1]),
                         {'version': 1, 'layout': 'ne', 'transform': 'delta', 'dtype': 'int16',
                          'itemsize': 2, 'count': 4, 'width': 2, 'nbytes': 46, 'blocks': 1, 'segments': 1,
                          'schemes': dict((s, int(s == 'delta')) for s in SCHEMES)})
        # The largest count a header may claim at width 0, read back whole.
        huge = frame(1, 1, 0x11, 1, 0, 2 ** 63 - 1, 0, 0, b'')
        self.assertEqual(pyvaskor.frameInfo(huge)['count'], 2 ** 63 - 1)
        self.assertEqual(support.value_error(pyvaskor.frameDecode, huge, bytearray(8)),
                         'frameDecode() needs room for %d values, out has 8' % (2 ** 63 - 1))


class Blocked(unittest.TestCase):

    def test_a_constant_column_byte_for_byte(self):
        # One segment of one block: scheme 1, the value; then the index, a
        # block end of 1 bit and a byte end (3) of 2 bits.
        want = (b'VSKF' + struct.pack('<BBBBB7xQQQ', 2, 3, 0x02, 3, 10, 3, 1, 3) + b'\x01\x05\x00' + b'\x01\x03')
        self.assertEqual(pyvaskor.frameEncode(array.array('h', [5, 5, 5]), 'blocked'), want)
        info = pyvaskor.frameInfo(want)
        self.assertEqual((info['version'], info['layout'], info['transform'], info['blocks'], info['segments']),
                         (2, 'blocked', 'auto', 1, 1))
        self.assertEqual(info['schemes'], dict((s, int(s == 'constant')) for s in SCHEMES))

    def test_columns_find_their_schemes(self):
        rng = random.Random(11)
        n = 5000
        columns = {
            'constant': [7] * n,
            'for': [rng.randint(0, 2 ** 20) for _ in range(n)],
            'delta': [10 ** 12 + 1000 * i + rng.randint(0, 9) for i in range(n)],
            'patched': [rng.randint(0, 999) if i % 700 else 2 ** 50 for i in range(n)],
            'dictionary': [rng.choice((3, 2 ** 33, -7, 12345)) for _ in range(n)],
            'rle': [i // 300 * 2 ** 30 for i in range(n)],
        }
        for scheme, values in sorted(columns.items()):
            packed = pyvaskor.frameEncode(values, 'blocked')
            self.assertEqual(pyvaskor.frameDecode(packed).tolist(), values, scheme)
            schemes = pyvaskor.frameInfo(packed)['schemes']
            self.assertEqual(max(schemes, key=schemes.get), scheme, schemes)
        # Each transform keeps to its schemes.
        kept = pyvaskor.frameInfo(pyvaskor.frameEncode(columns['delta'], 'blocked', 'for'))['schemes']
        self.assertEqual(kept['delta'] + kept['patched_delta'], 0)
        kept = pyvaskor.frameInfo(pyvaskor.frameEncode(columns['rle'], 'blocked', 'delta'))['schemes']
        self.assertEqual(kept['rle'] + kept['for'], 0)

    def test_ranges_are_slices(self):
        rng = random.Random(12)
        values = [rng.randint(-2 ** 40, 2 ** 40) >> rng.randint(0, 40) for _ in range(3000)]
        bounds = [None, 0, 1, 1023, 1024, 1025, 2999, 3000, 4000, -1, -1024, -3001]
        for layout, transform in OPTIONS:
            packed = pyvaskor.frameEncode(values, layout, transform)
            for _ in range(30):
                start, stop = rng.choice(bounds), rng.choice(bounds)
                got = pyvaskor.frameDecode(packed, start=start, stop=stop)
                self.assertEqual(got.tolist(), values[start:stop], (layout, transform, start, stop))
            out = array.array(INT64, [9] * 5)
            self.assertEqual(pyvaskor.frameDecode(packed, out, 1020, 1024), 4)
            self.assertEqual(out.tolist(), values[1020:1024] + [9])
        self.assertIn('to int', support.type_error(pyvaskor.frameDecode, packed, start='1'))


class Out(unittest.TestCase):

    def test_into_a_caller_buffer(self):
        packed = pyvaskor.frameEncode(array.array('H', [7, 65535, 0]), 'ne', 'delta')
        larger = array.array('h', [9] * 5)  # the item size counts, not the sign
        self.assertEqual(pyvaskor.frameDecode(packed, out=larger), 3)
        self.assertEqual(larger.tolist(), [7, -1, 0, 9, 9])
        small = array.array('H', [9, 9])
        self.assertEqual(support.value_error(pyvaskor.frameDecode, packed, small),
                         'frameDecode() needs room for 3 values, out has 2')
        self.assertEqual(small.tolist(), [9, 9])
        outs = [array.array('i', [0] * 4), array.array('d', [0] * 4), b'\0' * 8]
        if not PY2:
            outs.append(memoryview(array.array('H', [0] * 8))[::2])
        for out in outs:
            message = support.type_error(pyvaskor.frameDecode, packed, out)
            self.assertIn('frameDecode() expected for out a writable C-contiguous buffer of integers '
                          "of the frame's item size", message)
        self.assertIn('(2 bytes: uint16), got format', support.type_error(
            pyvaskor.frameDecode, packed, array.array('i', [0] * 4)))

    @unittest.skipIf(numpy is None, 'needs numpy')
    def test_numpy_view(self):
        values = numpy.arange(-30, 30, dtype=numpy.int32).reshape(3, 4, 5)
        whole = numpy.full((4, 3, 4, 5), 7, numpy.int32)
        self.assertEqual(pyvaskor.frameDecode(pyvaskor.frameEncode(values, 'bpe', 'delta'), out=whole[2]), 60)
        self.assertTrue(numpy.array_equal(whole[2], values))
        self.assertTrue((whole[[0, 1, 3]] == 7).all())


class Refused(unittest.TestCase):

    def test_options(self):
        for kwargs, message in [({'layout': 'x'}, "layout must be 'bpe', 'ne' or 'blocked', not 'x'"),
                                ({'transform': 'FOR'}, "transform must be 'for', 'delta' or 'auto', not 'FOR'"),
                                ({'transform': 'auto'}, "transform 'auto' does not go with layout 'bpe'")]:
            self.assertEqual(support.value_error(pyvaskor.frameEncode, [1], **kwargs), message)
        for kwargs in ({'layout': 1}, {'transform': [b'for']}):
            self.assertIn('must be a str, not', support.type_error(pyvaskor.frameEncode, [1], **kwargs))

    def test_inputs_refused_as_the_array_encoders_refuse_them(self):
        for obj in [array.array('d', [1.0]), 5, [1, 'x'], [2 ** 64]]:
            self.assertEqual(support.type_error(pyvaskor.frameEncode, obj),
                             support.type_error(pyvaskor.bpeEncodeArray, obj).replace('bpeEncodeArray', 'frameEncode'))
        for fn in (pyvaskor.frameDecode, pyvaskor.frameInfo):
            self.assertIn('expected a C-contiguous buffer of bytes', support.type_error(fn, 5))

    def test_corrupt_frames(self):
        good = pyvaskor.frameEncode(array.array('b', [3, -1, 7, 0]))
        blocked = pyvaskor.frameEncode(array.array('b', [3, -1, 7, 0]), 'blocked')
        cases = [(good[:39], 'truncated'), (good[:-1], ''), (good + b'\0', ''), (b'X' + good[1:], 'magic'),
                 (good[:4] + b'\x02' + good[5:], 'version'), (good[:4] + b'\x00' + good[5:], 'version'),
                 (good[:5] + b'\x04' + good[6:], 'layout'), (good[:6] + b'\x03' + good[7:], 'type'),
                 (good[:7] + b'\x00' + good[8:], 'transform'),
                 (frame(1, 1, 0x11, 1, 3, 3, 8, 0, b'\x80\xb8'), 'padding'),
                 (blocked[:4] + b'\x01' + blocked[5:], 'version'), (blocked[:-1], 'bytes'),
                 (blocked[:40] + b'\x09' + blocked[41:], 'scheme')]
        for data, field in cases:
            for fn in (pyvaskor.frameDecode, pyvaskor.frameInfo):
                if field == 'padding' and fn is pyvaskor.frameInfo:
                    continue  # the payload is not read
                kind, message = support.frame_error(fn, data)
                self.assertEqual(kind, 'FrameError', (fn.__name__, data))
                self.assertIn(field, message, (fn.__name__, data))
        self.assertEqual(support.frame_error(pyvaskor.frameDecode, good[:4] + b'\x03' + good[5:]),
                         ('FrameVersionError', 'frame version 3 is newer than this library reads (2)'))
        out = array.array('b', [9] * 8)
        support.frame_error(pyvaskor.frameDecode, good[:-1], out)
        self.assertEqual(out.tolist(), [9] * 8)

    def test_failures_are_value_errors_that_pickle_without_the_module(self):
        self.assertTrue(issubclass(pyvaskor.FrameVersionError, pyvaskor.FrameError))
        self.assertTrue(issubclass(pyvaskor.FrameError, ValueError))
        try:
            pyvaskor.frameDecode(pyvaskor.frameEncode([1])[:-1])
        except pyvaskor.FrameError as e:
            import pickle
            data = pickle.dumps(e, 2)
        code = ('import pickle, sys; e = pickle.loads(%r); '
                'sys.stdout.write("%%s %%s %%s" %% (type(e).__name__, "pyvaskor" in sys.modules, '
                'isinstance(e, ValueError)))' % data)
        self.assertEqual(support.run_python(code).split(), ['FrameError', 'False', 'True'])


@unittest.skipIf(PY2, 'text signatures are Python 3')
class Signatures(unittest.TestCase):

    def test_signatures_and_help(self):
        import inspect
        import pydoc
        for fn, signature in [(pyvaskor.frameEncode, "(a, layout='bpe', transform=None)"),
                              (pyvaskor.frameDecode, '(frame, out=None, start=0, stop=None)'),
                              (pyvaskor.frameInfo, '(frame)'),
                              (pyvaskor.bpeEncodeArray, '(a)'), (pyvaskor.neEncodeArray, '(a)'),
                              (pyvaskor.bpeDecodeArray, '(bytes, l, out=None)'),
                              (pyvaskor.neDecodeArray, '(bytes, l, out=None)')]:
            self.assertEqual(str(inspect.signature(fn)), signature)
            self.assertIn(fn.__name__ + signature, pydoc.plain(pydoc.render_doc(fn)))


if __name__ == '__main__':
    unittest.main()
