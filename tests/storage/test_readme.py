"""The README's zarr, numcodecs and Dask examples, each run as it stands: a
script in a fresh interpreter that sees only the unpacked wheel, in a
folder of its own. The comment above each block says what it needs;
examples for a zarr this host lacks are left to the hosts that have it
(zarr 3: the host matrix's sid)."""

import io
import os
import re
import subprocess
import unittest

from support import CHILD_TIMEOUT, ROOT, major, needs, needs_entry_points, start_python, temp_dir

README = os.path.join(ROOT, "README.md")
SECTION = "## Zarr, numcodecs and Dask"


def examples():
    """(what it needs, code) of each example in the section."""
    with io.open(README, encoding="utf-8") as f:
        text = f.read()
    section = text[text.index(SECTION):]
    section = section[:section.index("\n## ", len(SECTION))]
    return re.findall(r"^<!-- example: ([\w ]+) -->\n```python\n(.*?)^```", section, re.M | re.S)


@unittest.skipUnless(os.path.exists(README), "needs the source tree's README.md")
@needs("numpy", "numcodecs", "zarr", "pyvaskor_frames")
class ReadmeTest(unittest.TestCase):

    def test_the_section_has_its_examples(self):
        found = [need for need, _ in examples()]
        self.assertEqual(sorted(set(found)), ["numcodecs", "zarr 2", "zarr 3"])
        with io.open(README, encoding="utf-8") as f:
            section = f.read().split(SECTION)[1].split("\n## ")[0]
        self.assertEqual(section.count("```python"), len(found))

    @needs_entry_points
    def test_examples_run_as_scripts(self):
        import zarr
        ran = 0
        for i, (need, code) in enumerate(examples()):
            if need.startswith("zarr ") and int(need.split()[1]) != min(major(zarr), 3):
                continue
            work = temp_dir()
            script = os.path.join(work, "example%d.py" % i)
            with io.open(script, "w", encoding="utf-8") as f:
                f.write(code)
            proc = start_python([script], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, cwd=work)
            try:
                out = proc.communicate(timeout=CHILD_TIMEOUT)[0]
            finally:
                if proc.poll() is None:
                    proc.kill()
            self.assertEqual(proc.returncode, 0, "example %d (%s):\n%s\n%s" % (i, need, code, out))
            ran += 1
        self.assertGreater(ran, 0)


if __name__ == "__main__":
    unittest.main()
