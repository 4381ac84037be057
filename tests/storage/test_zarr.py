"""zarr through the codec: an array written in one process and read back in
another that imports only zarr, so that both find the codec by the wheel's
entry point (zarr 2 through numcodecs' registry, zarr 3 through its own),
and the stored metadata naming the codec with its whole configuration."""

import json
import os
import unittest

from support import major, needs, run_fresh, temp_dir

try:
    import numpy as np
    import zarr
except ImportError:
    zarr = None  # the cases below skip, naming the missing package

WRITE_V2 = """
import sys, numpy as np, numcodecs, zarr
path, transform = sys.argv[1:]
a = np.load(path + '.npy')
codec = numcodecs.get_codec({'id': 'pyvaskor', 'transform': transform})
zarr.open(path, mode='w', shape=a.shape, chunks=(16, 16), dtype=a.dtype, compressor=codec)[...] = a
"""
WRITE_V3 = """
import sys, numpy as np, zarr
path, transform = sys.argv[1:]
a = np.load(path + '.npy')
serializer = {'name': 'pyvaskor', 'configuration': {'transform': transform}}
zarr.create_array(store=path, shape=a.shape, chunks=(16, 16), dtype=a.dtype,
                  serializer=serializer, compressors=None)[...] = a
"""
READ = """
import json, sys, numpy as np, zarr
z = zarr.open(sys.argv[1], mode='r')
np.save(sys.argv[1] + '.back.npy', z[...])
print(json.dumps(sorted(m for m in sys.modules if m.startswith('pyvaskor'))))
"""


def arrays():
    """(transform, array): 50x40 in chunks of 16, so that zarr decodes
    whole chunks into views of its output and edge chunks on their own."""
    steps = np.random.RandomState(5).randint(900000, 1100000, 2000)
    return [
        ("delta", (1700000000000000000 + np.cumsum(steps)).reshape(50, 40)),
        ("for", (np.arange(2000, dtype=np.int64) * 37 % 1001 - 500).astype(np.int16).reshape(50, 40)),
        ("for", (np.uint64(2 ** 64 - 1) - np.arange(2000, dtype=np.uint64)
                 * np.uint64(3 ** 24)).reshape(50, 40)),
    ]


class RoundTrip(object):
    """Writes each array in one fresh process, reads it in another."""
    WRITE = None
    MODULE = None

    def stored_codec(self, path):
        raise NotImplementedError

    def test_written_and_read_by_other_processes(self):
        work = temp_dir()
        for i, (transform, a) in enumerate(arrays()):
            path = os.path.join(work, "a%d.zarr" % i)
            np.save(path + ".npy", a)
            run_fresh(self.WRITE, path, transform)
            loaded = json.loads(run_fresh(READ, path).splitlines()[-1])
            self.assertIn(self.MODULE, loaded)
            back = np.load(path + ".back.npy")
            self.assertEqual(back.dtype, a.dtype)
            self.assertTrue(np.array_equal(back, a), (transform, a.dtype))
            self.assertEqual(self.stored_codec(path), {"layout": "bpe", "transform": transform})


@needs("numpy", "zarr", "numcodecs", "pyvaskor")
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


@needs("numpy", "zarr", "pyvaskor")
class ZarrV3Test(RoundTrip, unittest.TestCase):
    WRITE = WRITE_V3
    MODULE = "pyvaskor_zarr"

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
        whole = {"name": "pyvaskor", "configuration": {"layout": "bpe", "transform": "for"}}
        self.assertEqual(VaskorCodec().to_dict(), whole)
        self.assertEqual(VaskorCodec.from_dict({"name": "pyvaskor"}), VaskorCodec())
        ne = VaskorCodec.from_dict({"name": "pyvaskor", "configuration": {"layout": "ne"}})
        self.assertNotEqual(ne, VaskorCodec())
        self.assertEqual(VaskorCodec.from_dict(json.loads(json.dumps(ne.to_dict()))), ne)
        with self.assertRaisesRegex(ValueError, "transform must be one of"):
            VaskorCodec(transform="xor")
        with self.assertRaisesRegex(TypeError, "stores integers .*, not float64"):
            zarr.create_array(store={}, shape=(3,), dtype="float64", serializer=VaskorCodec(),
                              compressors=None)


if __name__ == "__main__":
    unittest.main()
