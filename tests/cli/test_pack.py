"""vaskor pack and unpack: .npy files come back byte for byte, and the pack
file is what the README says it is (its refusals: test_command)."""

import json
import os
import struct
import unittest

import numpy as np

import pyvaskor_frames as frames
from support import frame_pairs, scratch, vaskor


def arrays():
    r = np.random.default_rng(2)
    yield "i2_fortran_big", np.asfortranarray(r.integers(-2 ** 15, 2 ** 15, (37, 5)).astype(">i2"))
    yield "ns_3d", (r.integers(0, 10 ** 18, (3, 4, 5))).astype("<M8[ns]")
    yield "seconds_big", np.cumsum(r.integers(-9, 99, 50)).astype(">m8[s]")
    yield "bool", r.random(61) < 0.2
    yield "u8_top", np.array([0, 2 ** 64 - 1, 2 ** 63, 5] * 5, "<u8")
    yield "i1_extremes", np.array([-128, 127, 0, -1] * 9, "i1")
    yield "scalar", np.array(7, ">u4")
    yield "empty", np.zeros((0, 3), "<i4")


class PackTest(unittest.TestCase):

    dir = scratch()

    def path(self, name):
        return os.path.join(self.dir, name)

    def test_round_trip_byte_exact(self):
        pairs = frame_pairs()
        for k, (name, a) in enumerate(arrays()):
            layout, transform = pairs[k % len(pairs)]
            with self.subTest(name, layout=layout, transform=transform):
                np.save(self.path(name + ".npy"), a)
                for args in (("pack", name + ".npy", name + ".vsk", "--chunk", 7, "--layout", layout,
                              "--transform", transform), ("unpack", name + ".vsk", name + ".back.npy")):
                    p = vaskor(*args, cwd=self.dir)
                    self.assertEqual(p.returncode, 0, p.stderr)
                with open(self.path(name + ".npy"), "rb") as f:
                    with open(self.path(name + ".back.npy"), "rb") as g:
                        self.assertEqual(f.read(), g.read())

    def test_file_format(self):
        """Read as the README describes it: magic, version, JSON header,
        then length-prefixed frames of the stored order's items."""
        a = np.asfortranarray((np.arange(30).reshape(5, 6) * 1000 - 7).astype(">i8"))
        np.save(self.path("f.npy"), a)
        layout, transform = frame_pairs()[-1]
        p = vaskor("pack", "f.npy", "f.vsk", "--chunk", 8, "--layout", layout, "--transform", transform,
                   cwd=self.dir)
        self.assertEqual(p.returncode, 0, p.stderr)
        with open(self.path("f.vsk"), "rb") as f:
            data = f.read()
        self.assertEqual(data[:8], b"VSKP\x01\x00\x00\x00")
        size, = struct.unpack("<I", data[8:12])
        header = json.loads(data[12:12 + size].decode("utf-8"))
        self.assertEqual(header, {"dtype": ">i8", "shape": [5, 6], "fortran_order": True, "chunk": 8})
        at, values, infos = 12 + size, [], []
        while at < len(data):
            n, = struct.unpack("<Q", data[at:at + 8])
            frame = data[at + 8:at + 8 + n]
            infos.append(frames.header(frame))
            values.append(frames.decode(frame))
            at += 8 + n
        self.assertEqual(at, len(data))
        self.assertEqual([i["count"] for i in infos], [8, 8, 8, 6])
        self.assertEqual(set((i["dtype"], i["layout"], i["transform"]) for i in infos),
                         {("int64", layout, transform)})
        self.assertTrue(np.array_equal(np.concatenate(values), a.ravel(order="F")))


if __name__ == "__main__":
    unittest.main()
