"""The command as a whole: help, usage errors, Ctrl-C during a long bench,
Python 2.7, and the README's examples run as written."""

import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import time
import unittest

import numpy as np

from support import ROOT, frame_pairs, scratch, vaskor

COMMANDS = ("bench", "info", "pack", "unpack")


class CommandTest(unittest.TestCase):

    dir = scratch()

    def path(self, name):
        return os.path.join(self.dir, name)

    def test_help(self):
        for args in [()] + [(c,) for c in COMMANDS]:
            with self.subTest(args):
                p = vaskor(*(args + ("--help",)))
                self.assertEqual(p.returncode, 0, p.stderr)
                self.assertTrue(p.stdout.startswith("usage: vaskor " + " ".join(args)), p.stdout)
        p = vaskor()
        self.assertEqual(p.returncode, 2)
        self.assertIn("COMMAND", p.stderr)

    def test_usage_errors(self):
        """Status 2 and one line naming the problem; no output file left."""
        files = {"odd.bin": b"\0" * 13, "f.csv": b"a,b\n1,2\n3,4.5\n", "junk": b"VSKF" + b"\0" * 50}
        np.save(self.path("float.npy"), np.linspace(0, 1, 10))
        np.save(self.path("ok.npy"), np.arange(100, dtype="i4"))
        os.mkdir(self.path("plain"))
        self.assertEqual(vaskor("pack", "ok.npy", "ok.vsk", "--chunk", 40, "--layout", frame_pairs()[0][0],
                                cwd=self.dir).returncode, 0)
        with open(self.path("ok.vsk"), "rb") as f:
            good = f.read()
        first = 12 + struct.unpack("<I", good[8:12])[0] + 8   # frame 0's magic
        files.update({"short.vsk": good[:-3], "long.vsk": good + b"\0", "magic.vsk": b"VSKQ" + good[4:],
                      "json.vsk": good[:12] + b"[" + good[13:],
                      "frame.vsk": good[:first] + b"X" + good[first + 1:]})
        with open(self.path("ok.npy"), "rb") as f:
            files["cut.npy"] = f.read()[:-1]
        for name, data in files.items():
            with open(self.path(name), "wb") as f:
                f.write(data)
        for args, message in (
                (("bench", "odd.bin", "--dtype", "<i8"), "13 bytes is no whole number of <i8"),
                (("bench", "odd.bin", "--dtype", "<x3"), "unknown dtype '<x3'"),
                (("bench", "odd.bin", "--dtype", "<f4"), "FixedScaleOffset or Quantize"),
                (("bench", "odd.bin"), "give --dtype"),
                (("bench", "f.csv"), "f.csv line 3, column 'b': '4.5' is not an integer"),
                (("bench", "f.csv", "--column", "c"), "no column 'c'"),
                (("bench", "gone.npy"), "cannot read gone.npy"),
                (("info", "junk"), "neither a frame"),
                (("info", "plain"), "no zarr array or group"),
                (("pack", "float.npy", "x.vsk"), "FixedScaleOffset"),
                (("pack", "cut.npy", "x.vsk"), "cut.npy: 527 bytes, its header needs 528"),
                (("pack", "ok.npy", "x.vsk", "--chunk", 0), "--chunk"),
                (("unpack", "short.vsk", "x.npy"), "short.vsk is truncated"),
                (("unpack", "long.vsk", "x.npy"), "after its last frame"),
                (("unpack", "json.vsk", "x.npy"), "bad pack header"),
                (("unpack", "frame.vsk", "x.npy"), "frame.vsk: frame 0: frame magic"),
                (("unpack", "magic.vsk", "x.npy"), "not a vaskor pack file")):
            with self.subTest(args):
                p = vaskor(*args, cwd=self.dir)
                self.assertEqual((p.returncode, p.stdout, p.stderr.count("\n")), (2, "", 1), p.stderr)
                self.assertIn(message, p.stderr)
        self.assertFalse([n for n in os.listdir(self.dir) if n.startswith("x.")])

    def test_ctrl_c_ends_a_long_bench(self):
        big = self.path("zeros.bin")
        with open(big, "wb") as f:
            f.truncate(8 << 30)          # sparse: 2^30 values to go through
        p = subprocess.Popen([sys.executable, "-m", "pyvaskor_cli", "bench", big, "--dtype", "<i8",
                              "--progress"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, bufsize=0)
        try:
            seen = b""
            while b"%" not in seen:          # the bench has begun
                c = p.stderr.read(1)
                self.assertTrue(c, "the bench ended early")
                seen += c
            time.sleep(0.5)
            p.send_signal(signal.SIGINT)
            out, err = p.communicate(timeout=60)
        finally:
            if p.poll() is None:
                p.kill()
        err = (seen + err).decode("utf-8", "replace")
        self.assertEqual(p.returncode, 130, err)
        self.assertTrue(err.rstrip().endswith("vaskor bench: interrupted"), err)
        self.assertNotIn("Traceback", err)

    def test_python27_says_it_needs_python3(self):
        # The build names where 2.7 would be even when it is not there.
        python2 = os.environ.get("VASKOR_PY27")
        if not (python2 and os.path.exists(python2)):
            python2 = shutil.which("python2.7")
        if not python2 or subprocess.run([python2, "-c", "pass"], stderr=subprocess.DEVNULL).returncode:
            self.skipTest("no Python 2.7 here")
        storage = os.path.join(ROOT, "storage")
        for name in (n for n in os.listdir(storage) if n.startswith("pyvaskor_cli")):
            p = subprocess.run([python2, "-c", "import sys; compile(open(sys.argv[1]).read(), 'f', 'exec')",
                                os.path.join(storage, name)], stderr=subprocess.PIPE)
            self.assertEqual(p.returncode, 0, p.stderr)
        p = subprocess.run([python2, "-c", "import sys, pyvaskor_cli; sys.exit(pyvaskor_cli.main())"],
                           stderr=subprocess.PIPE, universal_newlines=True,
                           env=dict(os.environ, PYTHONPATH=storage))
        self.assertEqual((p.returncode, p.stderr), (2, "vaskor needs Python 3 (this is Python 2.7)\n"))

    def test_readme_examples(self):
        with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as f:
            text = f.read()
        section = re.search(r"^## The vaskor command\n(.*?)^## ", text, re.M | re.S).group(1)
        blocks = re.findall(r"^```sh\n(.*?)^```", section, re.M | re.S)
        self.assertTrue(blocks)
        work = scratch()
        bin_dir = os.path.join(work, "bin")
        os.mkdir(bin_dir)
        # The wheel's script, and the python3 that has this one's numpy.
        with open(os.path.join(bin_dir, "vaskor"), "w") as f:
            f.write("#!/bin/sh\nexec %s -m pyvaskor_cli \"$@\"\n" % sys.executable)
        os.chmod(os.path.join(bin_dir, "vaskor"), 0o755)
        os.symlink(sys.executable, os.path.join(bin_dir, "python3"))
        env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ["PATH"])
        for block in blocks:
            p = subprocess.run(["bash", "-euo", "pipefail", "-c", block], cwd=work, env=env,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, universal_newlines=True)
            self.assertEqual(p.returncode, 0, "%s\n---\n%s" % (block, p.stdout))


if __name__ == "__main__":
    unittest.main()
