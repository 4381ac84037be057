"""The numcodecs codec: numcodecs' own checks, exact round trips of every
integer type, layout and transform, the other dtype kinds users hand it,
decoding into zarr's N-d views, partial decodes, the refusals, the
committed frames, and the entry point seen from a fresh interpreter that
never imported pyvaskor."""

import io
import json
import os
import unittest

from support import HERE, needs, needs_entry_points, run_fresh, temp_dir

try:
    import numpy as np
    import numcodecs
    from pyvaskor_errors import FrameError, FrameVersionError
    from pyvaskor_numcodecs import Vaskor
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
    """Every layout and transform, the default first."""
    return [Vaskor(), Vaskor("blocked", "for"), Vaskor("blocked", "delta")] + [
        Vaskor(layout, transform) for layout in ("bpe", "ne") for transform in ("for", "delta")]


def kinds():
    """(written, what decode without out gives: the chunk's bytes as
    native integers) for each kind of dtype beside native integers, some
    shaped as zarr's chunks are."""
    ints = np.arange(-40, 80, dtype=np.int64) * 1000003
    big = ints.astype(">i8")
    return [
        (ints.astype(">i4").reshape(4, 30), ints.astype(">i4").view("=i4")),
        (ints.astype(">u8").reshape(2, 60), ints.astype(">u8").view("=u8")),
        (ints.view("M8[ns]"), ints),
        (big.view(">m8[s]").reshape(3, 40), big.view("=i8")),
        (ints % 3 == 0, (ints % 3 == 0).astype(np.uint8)),
    ]


@needs("numpy", "numcodecs", "pyvaskor_numcodecs")
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

    def test_other_kinds_come_back_as_written(self):
        for codec in codecs():
            for written, stored in kinds():
                frame = codec.encode(written)
                self.assertEqual(codec.decode(frame).tobytes(), stored.tobytes(), written.dtype)
                # zarr's view of its output, or the array itself: its dtype
                # gives the values back as they were.
                out = np.zeros_like(written)
                self.assertIs(codec.decode(frame, out=out), out)
                self.assertEqual(out.dtype, written.dtype)
                self.assertTrue(np.array_equal(out, written), (codec, written.dtype))

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

    def test_decode_partial_as_slices_of_the_whole(self):
        a = (np.arange(5000, dtype=np.int64) * 7919 % 65536).astype(">u2")
        for codec in codecs():
            frame = codec.encode(a)
            whole = codec.decode(frame)
            for start, nitems in ((0, 5000), (0, 1), (1000, 1048), (1023, 2), (4990, 10), (2500, 0)):
                got = codec.decode_partial(frame, start, nitems)
                self.assertEqual(got.tolist(), whole[start:start + nitems].tolist())
                out = np.zeros(nitems, a.dtype)
                codec.decode_partial(frame, start, nitems, out=out)
                self.assertEqual(out.tolist(), a[start:start + nitems].tolist())

    def test_refusals(self):
        codec = Vaskor("ne")
        for a in (np.zeros(3), np.zeros(3, ">f4"), np.array([1, None]), np.zeros(3, np.complex64),
                  np.zeros(3, "U2")):
            with self.assertRaisesRegex(TypeError, "not %s; .*FixedScaleOffset" % a.dtype):
                codec.encode(a)
        with self.assertRaisesRegex(ValueError, "layout must be one of 'bpe', 'ne', 'blocked', not 'le'"):
            Vaskor(layout="le")
        with self.assertRaisesRegex(ValueError, "transform must be one of"):
            Vaskor("bpe", transform="xor")
        # (Each corrupt field: test_frames.)
        frame = codec.encode(np.arange(100, dtype=np.int32))
        for bad, kind, field in ((frame + b"\0", FrameError, "payload"),
                                 (frame[:8] + b"\x05" + frame[9:], FrameError, "width 5 exceeds 4 bytes"),
                                 (frame[:4] + b"\x08" + frame[5:], FrameVersionError, "version 8")):
            with self.assertRaisesRegex(kind, "^frame %s" % field):
                codec.decode(bad)

    def test_config_through_json(self):
        for codec in codecs():
            config = json.loads(json.dumps(codec.get_config()))
            self.assertEqual(sorted(config), ["id", "layout", "transform"])
            self.assertEqual(numcodecs.get_codec(config), codec)
        self.assertEqual(Vaskor("ne").get_config(), {"id": "pyvaskor", "layout": "ne",
                                                     "transform": "for"})

    def test_default_is_blocked(self):
        whole = {"id": "pyvaskor", "layout": "blocked", "transform": "auto"}
        self.assertEqual(Vaskor().get_config(), whole)
        self.assertEqual(numcodecs.get_codec({"id": "pyvaskor"}).get_config(), whole)


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


@needs_entry_points
@needs("numpy", "numcodecs", "pyvaskor_frames")
class EntryPointTest(unittest.TestCase):

    def test_get_codec_in_a_fresh_interpreter(self):
        out = run_fresh(
            "import json, sys, numcodecs, numpy as np\n"
            "codec = numcodecs.get_codec({'id': 'pyvaskor', 'layout': 'bpe', 'transform': 'delta'})\n"
            "a = np.array([5, 3, -7, 2 ** 31 - 1], np.int32)\n"
            "frame = codec.encode(a)\n"
            "print(json.dumps(['pyvaskor' in sys.modules, type(codec).__module__,\n"
            "                  codec.get_config(), codec.decode(frame).tolist()]))\n")
        loaded, module, config, values = json.loads(out.splitlines()[-1])
        self.assertFalse(loaded)
        self.assertEqual(module, "pyvaskor_numcodecs")
        self.assertEqual(config, {"id": "pyvaskor", "layout": "bpe", "transform": "delta"})
        self.assertEqual(values, [5, 3, -7, 2 ** 31 - 1])


if __name__ == "__main__":
    unittest.main()
