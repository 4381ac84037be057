"""vaskor info on a frame, and on a zarr 2 group written by zarr and
numcodecs, read by a command that cannot import zarr."""

import os
import re
import subprocess
import sys
import unittest

import numpy as np

import pyvaskor_frames as frames
from support import frame_pairs, scratch, vaskor

# The command where neither zarr nor numcodecs can be imported.
WITHOUT_ZARR = ("import runpy, sys; sys.modules.update(zarr=None, numcodecs=None); "
                "runpy.run_module('pyvaskor_cli', run_name='__main__')")


def field(text, name):
    """The value in the `  name  value` line of the command's output."""
    return re.search(r"^  %s +(.*)$" % re.escape(name), text, re.M).group(1)


def chunk_files(path):
    return sorted(os.path.join(d, f) for d, _, files in os.walk(path) for f in files if f[0] != ".")


class InfoTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.dir = scratch()

    def test_frame_and_its_blocks(self):
        values = (np.arange(5000) ** 2 % 9973).astype("<u4")
        frame = frames.encode(values, *frame_pairs()[-1])
        with open(os.path.join(self.dir, "c.vskf"), "wb") as f:
            f.write(frame)
        p = vaskor("info", "c.vskf", "--blocks", cwd=self.dir)
        self.assertEqual(p.returncode, 0, p.stderr)
        info = frames.info(frame)
        for name in ("layout", "transform", "dtype", "count", "blocks"):
            self.assertEqual(field(p.stdout, name), str(info[name]))
        rows = [line.split() for line in p.stdout.splitlines() if re.match(r" +\d+ +\d+ +[a-z_]+ ", line)]
        self.assertEqual([int(r[0]) for r in rows],
                         [frames.block(frame, i)["first"] for i in range(info["blocks"])])
        self.assertEqual(sum(int(r[1]) for r in rows), len(values))
        self.assertEqual(set(r[2] for r in rows), set(k for k, v in info["schemes"].items() if v))

    def test_zarr2_group_without_zarr(self):
        try:
            import numcodecs
            import zarr
            from pyvaskor_numcodecs import Vaskor
        except ImportError as e:
            self.skipTest("needs zarr 2 and numcodecs (%s)" % e)
        g = zarr.open_group(os.path.join(self.dir, "g.zarr"), mode="w")
        layout, transform = frame_pairs()[-1]
        g.create_dataset("sub/ts", shape=(100000,), chunks=(30000,), dtype="<i8",
                         compressor=Vaskor(layout=layout, transform=transform))[:] = np.arange(100000) * 7
        g.create_dataset("grid", shape=(40, 50), chunks=(16, 16), dtype=">i4", compressor=numcodecs.Blosc(),
                         dimension_separator="/")[:20] = np.arange(1000).reshape(20, 50)
        p = subprocess.run([sys.executable, "-c", WITHOUT_ZARR, "info", "g.zarr"], cwd=self.dir,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, universal_newlines=True)
        self.assertEqual(p.returncode, 0, p.stderr)
        group, grid, ts = p.stdout.split("\n\n")
        self.assertEqual([group, grid.splitlines()[0], ts.splitlines()[0]],
                         ["g.zarr: zarr group", "g.zarr/grid: zarr 2 array", "g.zarr/sub/ts: zarr 2 array"])
        for text, path, of_grid, chunk_bytes in ((grid, "grid", 12, 16 * 16 * 4),
                                                 (ts, "sub/ts", 4, 30000 * 8)):
            sizes = [os.path.getsize(f) for f in chunk_files(os.path.join(self.dir, "g.zarr", path))]
            self.assertEqual(field(text, "chunks stored"), "%d of %d" % (len(sizes), of_grid))
            self.assertTrue(field(text, "stored bytes").startswith("{:,} in all".format(sum(sizes))))
            ratio = len(sizes) * chunk_bytes / sum(sizes)
            self.assertTrue(field(text, "ratio").startswith("%.2f " % ratio))
        self.assertEqual((field(grid, "dtype"), field(grid, "compressor")[:6]), (">i4", "blosc("))
        blocks = {}
        for name in chunk_files(os.path.join(self.dir, "g.zarr", "sub", "ts")):
            with open(name, "rb") as f:
                for k, v in frames.info(f.read())["schemes"].items():
                    if v:
                        blocks[k] = blocks.get(k, 0) + v
        shown = re.findall(r"(\w+) ([\d,]+) blocks in", field(ts, "schemes"))
        self.assertEqual(dict((k, int(v.replace(",", ""))) for k, v in shown), blocks)


if __name__ == "__main__":
    unittest.main()
