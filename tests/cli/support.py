"""Shared by the vaskor command's tests: the command run as a user runs it,
in a new interpreter. PYTHONPATH holds the build's module folder, laid out
as the wheel installs it."""

import atexit
import os
import shutil
import subprocess
import sys
import tempfile

import pyvaskor_frames as frames

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def scratch():
    path = tempfile.mkdtemp(prefix="vaskor-cli-")
    atexit.register(shutil.rmtree, path, True)
    return path


def vaskor(*args, **kw):
    return subprocess.run([sys.executable, "-m", "pyvaskor_cli"] + [str(a) for a in args], timeout=120,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, universal_newlines=True, **kw)


def _writes(layout, transform):
    try:
        return frames.check(layout, transform)
    except ValueError:
        return None


def frame_pairs():
    """The (layout, transform) pairs the library writes, by its own names."""
    return [(l, t) for l in frames.LAYOUTS for t in frames.TRANSFORMS if _writes(l, t)]


def stored(values, chunk, layout, transform):
    """Bytes of the frames of values cut into chunks, as storage keeps them."""
    return sum(len(frames.encode(values[i:i + chunk], layout, transform))
               for i in range(0, len(values), chunk))

