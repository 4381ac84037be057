"""zarr through the codec: arrays of every dtype kind written in one process
and read back in another that imports only zarr, so that both find the
codec by the wheel's entry point (zarr 2 through numcodecs' registry, zarr
3 through its own), and the stored metadata naming the codec with its whole
configuration; zarr 3 refusing floats when the array is made."""

import json
import os
import unittest

from support import REGISTER, major, needs, run_fresh, temp_dir

try:
    import numpy as np
    import zarr
except ImportError:
    zarr = None  # the cases below skip, naming the missing package

WRITE_V2 = REGISTER + """
import json, sys, numpy as np, numcodecs, zarr
path, config = sys.argv[1:]
a = np.load(path + '.npy')
codec = numcodecs.get_codec(dict(json.loads(config), id='pyvaskor'))
zarr.open(path, mode='w', shape=a.shape, chunks=(16, 16), dtype=a.dtype, compressor=codec)[...] = a
"""
WRITE_V3 = """
import json, sys, numpy as np, zarr
path, config = sys.argv[1:]
a = np.load(path + '.npy')
serializer = {'name': 'pyvaskor', 'configuration': json.loads(config)}
zarr.create_array(store=path, shape=a.shape, chunks=(16, 16), dtype=a.dtype,
                  serializer=serializer, compressors=None)[...] = a
"""
READ = REGISTER + """
import json, sys, numpy as np, zarr
z = zarr.open(sys.argv[1], mode='r')
np.save(sys.argv[1] + '.back.npy', z[...])
print(json.dumps(sorted(m for m in sys.modules if m.startswith('pyvaskor'))))
"""


def arrays(big_endian):
    """(configuration, what it stores, array): 50x40 in chunks of 16, so
    that zarr decodes whole chunks into views of its output and edge chunks
    on their own."""
    steps = np.random.RandomState(5).randint(900000, 1100000, 2000)
    stamps = (1700000000000000000 + np.cumsum(steps)).reshape(50, 40)
    small = (np.arange(2000, dtype=np.int64) * 37 % 1001 - 500).reshape(50, 40)
    found = [
        ({"layout": "ne", "transform": "delta"}, stamps),
        ({"layout": "bpe"}, small.astype(np.int16)),
        ({"layout": "bpe"}, (np.uint64(2 ** 64 - 1) - np.arange(2000, dtype=np.uint64)
                             * np.uint64(3 ** 24)).reshape(50, 40)),
        ({"layout": "bpe", "transform": "delta"}, stamps.view("M8[ns]")),
        ({"layout": "ne"}, small.astype("m8[s]")),
        ({"layout": "bpe"}, small % 7 == 0),
    ]
    if big_endian:
        found.append(({"layout": "bpe"}, small.astype(">i4")))
    # zarr 2 views a chunk's bytes as the array's dtype: big-endian arrays
    # come back as they went, in chunks decoded whole and alone.
    found.append(({"layout": "blocked", "transform": "auto"}, (small * 1000).astype(">i8")))
    return [(config, dict({"transform": "for"}, **config), a) for config, a in found]


class RoundTrip(object):
    """Writes each array in one fresh process, reads it in another."""
    WRITE = None
    MODULE = None
    BIG_ENDIAN = False

    def stored_codec(self, path):
        raise NotImplementedError

    def round_trip(self, cases):
        work = temp_dir()
        for i, (config, stored, a) in enumerate(cases):
            path = os.path.join(work, "a%d.zarr" % i)
            np.save(path + ".npy", a)
            run_fresh(self.WRITE, path, json.dumps(config))
            loaded = json.loads(run_fresh(READ, path).splitlines()[-1])
            self.assertIn(self.MODULE, loaded)
            self.assertNotIn("pyvaskor", loaded)
            back = np.load(path + ".back.npy")
            # (zarr 3 keeps the byte order out of the array's dtype.)
            self.assertEqual(back.dtype.newbyteorder("="), a.dtype.newbyteorder("="))
            self.assertTrue(np.array_equal(back, a), (config, a.dtype))
            self.assertEqual(self.stored_codec(path), stored)

    def test_written_and_read_by_other_processes(self):
        self.round_trip(arrays(self.BIG_ENDIAN))

    def test_default_configuration(self):
        a = arrays(False)[0][2]
        self.round_trip([({}, {"layout": "blocked", "transform": "auto"}, a),
                         ({"transform": "delta"}, {"layout": "blocked", "transform": "delta"}, a)])


@needs("numpy", "zarr", "numcodecs", "pyvaskor_frames")
class ZarrV2Test(RoundTrip, unittest.TestCase):
    WRITE = WRITE_V2
    MODULE = "pyvaskor_numcodecs"

    def setUp(self):
        if major(zarr) != 2:
            self.skipTest("zarr %s is not zarr 2" % zarr.__version__)

    def stored_codec(self, path):
        with open(os.path.join(path, ".zarray")) as f:
            config = json.load(f)["compressor"]
        self.assertEqual(config.pop("id"), "pyvaskor")
        return config


@needs("numpy", "zarr", "pyvaskor_frames")
class ZarrV3Test(RoundTrip, unittest.TestCase):
    WRITE = WRITE_V3
    MODULE = "pyvaskor_zarr"
    # zarr 3 names the array's dtype to the codec (zarr 2 does not).
    BIG_ENDIAN = True

    def setUp(self):
        if major(zarr) < 3:
            self.skipTest("zarr %s is older than zarr 3" % zarr.__version__)

    def stored_codec(self, path):
        with open(os.path.join(path, "zarr.json")) as f:
            codecs = json.load(f)["codecs"]
        self.assertEqual(len(codecs), 1, codecs)
        self.assertEqual(codecs[0]["name"], "pyvaskor")
        return codecs[0]["configuration"]

    def test_codec_itself(self):
        from pyvaskor_zarr import VaskorCodec
        ne = VaskorCodec.from_dict({"name": "pyvaskor", "configuration": {"layout": "ne"}})
        self.assertEqual(ne.to_dict(), {"name": "pyvaskor",
                                        "configuration": {"layout": "ne", "transform": "for"}})
        self.assertEqual(VaskorCodec.from_dict(json.loads(json.dumps(ne.to_dict()))), ne)
        with self.assertRaisesRegex(ValueError, "transform must be one of"):
            VaskorCodec(layout="bpe", transform="xor")
        for dtype in ("float64", "complex64"):
            with self.assertRaisesRegex(TypeError, "not %s; .*FixedScaleOffset" % dtype):
                zarr.create_array(store={}, shape=(3,), dtype=dtype, serializer=ne, compressors=None)

    def test_default_codec(self):
        from pyvaskor_zarr import VaskorCodec
        whole = {"name": "pyvaskor", "configuration": {"layout": "blocked", "transform": "auto"}}
        self.assertEqual(VaskorCodec().to_dict(), whole)
        self.assertEqual(VaskorCodec.from_dict({"name": "pyvaskor"}), VaskorCodec())


if __name__ == "__main__":
    unittest.main()
