"""vaskor bench on .npy, raw and CSV input: a row per codec, the frames'
sizes those of pyvaskor_frames for the same chunks, a well-formed chart."""

import importlib.util
import json
import os
import re
import unittest
import xml.etree.ElementTree as ET

import numpy as np

from support import frame_pairs, scratch, stored, vaskor

CHUNK = 1000
SVG = "{http://www.w3.org/2000/svg}"
# codec, the smallest's mark, stored bytes, then bytes/value, ratio, MB/s
ROW = re.compile(r"  (.+?)( \*)?\s+([\d,]+)(\s+[\d.]+){4}$")


def expected_codecs():
    """Every frame layout and transform, then numcodecs' six (Debian's has
    them all), named without their parameters."""
    others = []
    if importlib.util.find_spec("numcodecs"):
        others = ["blosc %s/%s" % (c, s) for c in ("lz4", "zstd") for s in ("shuffle", "bitshuffle")]
        others += ["zstd", "lz4"]
    return ["pyvaskor %s/%s" % pair for pair in frame_pairs()] + others


def bare(name):
    return re.sub(r" \w+=\d+$", "", name)


class BenchTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.dir = scratch()
        r = np.random.default_rng(1)
        # Timestamps, big-endian, in a Fortran-ordered 2-d array; a raw
        # uint16 file; a CSV whose text column is left out.
        ts = (1_700_000_000_000 + np.cumsum(r.integers(0, 900, 4500))).astype(">M8[ms]")
        np.save(os.path.join(cls.dir, "ts.npy"), np.asfortranarray(ts.reshape(1500, 3)))
        cls.ts = np.asfortranarray(ts.reshape(1500, 3)).ravel(order="F").view(">i8").astype("i8")
        cls.raw = r.integers(0, 4000, 2500).astype("<u2")
        cls.raw.tofile(os.path.join(cls.dir, "raw.bin"))
        cls.ids, cls.counts = np.arange(3200) * 3 - 100, r.integers(-5, 5, 3200)
        with open(os.path.join(cls.dir, "t.csv"), "w") as f:
            f.write("id,name,count\n")
            f.writelines("%d,x,%d\n" % ab for ab in zip(cls.ids, cls.counts))

    def test_npy_and_raw_as_json(self):
        p = vaskor("bench", "ts.npy", "raw.bin", "--dtype", "<u2", "--json", "--runs", 2, "--chunk", CHUNK,
                   cwd=self.dir)
        self.assertEqual(p.returncode, 0, p.stderr)
        out = json.loads(p.stdout)
        self.assertIn("wall clock", out["timing"])
        self.assertEqual(out["missing"], [])
        for column, values, dtype in zip(out["columns"], (self.ts, self.raw), (">M8[ms]", "<u2")):
            self.assertEqual((column["count"], column["dtype"]), (len(values), dtype))
            self.assertEqual([bare(row["codec"]) for row in column["rows"]], expected_codecs())
            for row, pair in zip(column["rows"], frame_pairs()):
                self.assertEqual(row["stored"], stored(values, CHUNK, *pair), row["codec"])
            for row in column["rows"]:
                self.assertGreater(min(row["encode_mbs"], row["decode_mbs"]), 0)
                self.assertAlmostEqual(row["ratio"], values.nbytes / row["stored"])
            self.assertEqual(column["smallest"], min(column["rows"], key=lambda r: r["stored"])["codec"])

    def test_csv_table_chart_progress(self):
        p = vaskor("bench", "t.csv", "--column", "count", "--column", "0", "--runs", 1, "--chunk", CHUNK,
                   "--svg", "t.svg", "--progress", cwd=self.dir)
        self.assertEqual(p.returncode, 0, p.stderr)
        self.assertIn("100%", p.stderr)
        tables = p.stdout.split("\n\n")
        codecs = expected_codecs()
        for table, name, values in zip(tables, ("count", "id"), (self.counts, self.ids)):
            self.assertTrue(table.startswith("t.csv:%s: 3,200 values of <i8" % name), table)
            rows = [ROW.match(line).groups() for line in table.splitlines()[2:2 + len(codecs)]]
            self.assertEqual([bare(r[0]) for r in rows], codecs)
            sizes = [int(r[2].replace(",", "")) for r in rows]
            self.assertEqual(sizes[:len(frame_pairs())],
                             [stored(values, CHUNK, *pair) for pair in frame_pairs()])
            self.assertEqual([r[0] for r in rows if r[1]], [rows[sizes.index(min(sizes))][0]])
        svg = ET.parse(os.path.join(self.dir, "t.svg")).getroot()
        self.assertEqual(svg.tag, SVG + "svg")
        bars = [r for r in svg.iter(SVG + "rect") if r.find(SVG + "title") is not None]
        # Per column: a size, an encode and a decode bar per codec, two swatches.
        self.assertEqual(len(bars), 2 * (3 * len(codecs) + 2))


if __name__ == "__main__":
    unittest.main()
