"""The numcodecs codec: numcodecs' own checks, exact round trips of every
integer type, layout and transform, decoding into zarr's N-d views, the
refusals, the committed frames, and the entry point seen from a fresh
interpreter that never imported pyvaskor."""

import io
import json
import os
import unittest

from support import HERE, needs, run_fresh, temp_dir

try:
    import numpy as np
    import numcodecs
    from pyvaskor_numcodecs import LAYOUTS, TRANSFORMS, Vaskor
except ImportError:
    pass  # the cases below skip, naming the missing package

DTYPES = ("int8", "uint8", "int16", "uint16", "int32", "uint32", "int64", "uint64")
FIXTURE = os.path.join(HERE, "frames.json")


def extremes(dtype, shape=(3, 4, 5)):
    """Both ends of the type's range among small and middling values, so
    that every transform meets its widest case."""
    info = np.iinfo(dtype)
    n = int(np.prod(shape))
    values = np.arange(n, dtype=np.int64) * 37 % 101
    a = values.astype(dtype)
    a[1], a[-2] = info.min, info.max
    return a.reshape(shape)


def codecs():
    return [Vaskor(layout, transform) for layout in LAYOUTS for transform in TRANSFORMS]


@needs("numpy", "numcodecs", "pyvaskor", "pyvaskor_numcodecs")
class RoundTripTest(unittest.TestCase):

    def test_every_type_layout_and_transform(self):
        for codec in codecs():
            for dtype in DTYPES:
                a = extremes(dtype)
                f = np.asfortranarray(a)
                # Arrays in their memory order; bytes as their bytes.
                for given, want in ((a, a.ravel()), (f, f.ravel("A")),
                                    (bytearray(a.tobytes()), np.frombuffer(a.tobytes(), np.uint8))):
                    back = codec.decode(codec.encode(given))
                    self.assertEqual(back.dtype, want.dtype, (codec, dtype))
                    self.assertEqual(back.tobytes(), want.tobytes(), (codec, dtype))

    def test_decode_into_views(self):
        # zarr's whole-chunk view of its output, and a flat byte buffer.
        codec = Vaskor("ne", "delta")
        a = extremes("int16", (4, 6))
        frame = codec.encode(a)
        out = np.zeros((3, 4, 6), np.int16)
        view = out[1]
        self.assertIs(codec.decode(frame, out=view), view)
        self.assertEqual(out[1].tolist(), a.tolist())
        self.assertFalse(out[0].any() or out[2].any())
        raw = bytearray(a.nbytes)
        codec.decode(frame, out=raw)
        self.assertEqual(bytes(raw), a.tobytes())
        for wrong in (np.zeros((4, 5), np.int16), np.zeros(25, np.int16)):
            with self.assertRaisesRegex(ValueError, "out holds %d bytes" % wrong.nbytes):
                codec.decode(frame, out=wrong)

    def test_refusals(self):
        codec = Vaskor()
        for a in (np.zeros(3), np.zeros(3, bool), np.array([1, None]), np.zeros(3, np.complex64)):
            with self.assertRaises(TypeError, msg=a.dtype):
                codec.encode(a)
        with self.assertRaisesRegex(TypeError, "native-order integers, not >i8"):
            codec.encode(np.zeros(3, ">i8"))
        with self.assertRaisesRegex(ValueError, "layout must be one of 'bpe', 'ne', not 'le'"):
            Vaskor(layout="le")
        with self.assertRaisesRegex(ValueError, "transform must be one of"):
            Vaskor(transform="xor")
        frame = codec.encode(np.arange(100, dtype=np.int32))
        for bad in (frame[:-1], frame[:39], b"XXXX" + frame[4:], frame + b"\0"):
            with self.assertRaises(ValueError):
                codec.decode(bad)

    def test_config_through_json(self):
        for codec in codecs():
            config = json.loads(json.dumps(codec.get_config()))
            self.assertEqual(sorted(config), ["id", "layout", "transform"])
            self.assertEqual(numcodecs.get_codec(config), codec)
        self.assertEqual(Vaskor().get_config(), {"id": "pyvaskor", "layout": "bpe",
                                                 "transform": "for"})


@needs("numpy", "numcodecs", "pytest", "pyvaskor_numcodecs")
class NumcodecsChecksTest(unittest.TestCase):
    """numcodecs' own checks, which the Debian package ships but which need
    pytest."""

    def test_checks(self):
        from numcodecs.tests import common
        # check_repr evaluates the repr among numcodecs' own names.
        common.Vaskor = Vaskor
        for codec in codecs():
            for dtype in DTYPES:
                common.check_encode_decode(extremes(dtype), codec)
                common.check_encode_decode(np.asfortranarray(extremes(dtype)), codec)
            common.check_config(codec)
            common.check_repr(repr(codec))
        cwd = os.getcwd()
        os.chdir(temp_dir())
        try:
            common.check_backwards_compatibility(
                Vaskor.codec_id, [extremes(d) for d in DTYPES], codecs())
        finally:
            os.chdir(cwd)


@needs("numpy", "numcodecs", "pyvaskor_numcodecs")
class FixtureTest(unittest.TestCase):
    """Frames written once and committed: they decode forever after, and
    the same values still encode to the same bytes."""

    def test_committed_frames(self):
        with io.open(FIXTURE, encoding="utf-8") as f:
            cases = json.load(f)
        self.assertGreaterEqual(len(cases), 6)
        for case in cases:
            codec = numcodecs.get_codec(case["config"])
            frame = bytes(bytearray.fromhex(case["frame"]))
            want = np.array(case["values"], case["dtype"]).reshape(case["shape"])
            got = codec.decode(frame)
            self.assertEqual(got.dtype, want.dtype, case["config"])
            self.assertEqual(got.tolist(), want.ravel().tolist(), case["config"])
            self.assertEqual(codec.encode(want), frame, case["config"])


@needs("numpy", "numcodecs", "pyvaskor")
class EntryPointTest(unittest.TestCase):

    def test_get_codec_in_a_fresh_interpreter(self):
        out = run_fresh(
            "import json, sys, numcodecs, numpy as np\n"
            "before = 'pyvaskor' in sys.modules\n"
            "codec = numcodecs.get_codec({'id': 'pyvaskor', 'transform': 'delta'})\n"
            "a = np.array([5, 3, -7, 2 ** 31 - 1], np.int32)\n"
            "frame = codec.encode(a)\n"
            "print(json.dumps([before, type(codec).__module__, codec.get_config(),\n"
            "                  codec.decode(frame).tolist()]))\n")
        before, module, config, values = json.loads(out.splitlines()[-1])
        self.assertFalse(before)
        self.assertEqual(module, "pyvaskor_numcodecs")
        self.assertEqual(config, {"id": "pyvaskor", "layout": "bpe", "transform": "delta"})
        self.assertEqual(values, [5, 3, -7, 2 ** 31 - 1])


if __name__ == "__main__":
    unittest.main()
