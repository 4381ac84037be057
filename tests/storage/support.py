"""Shared by the storage codec tests: the wheel laid out as pip installs it,
fresh interpreters that see only that, and skips that name what is missing.

The tests run with the build tree on the path, which holds the storage
modules and pyvaskor.libs/ beside pyvaskor.so as the wheel does. Readers
and writers in other processes get the built wheel unpacked instead, so that
they find the codecs through the wheel's own entry points. Where
pyvaskor.so already sits in an unpacked wheel (the host matrix stages one),
that folder serves as it is.
"""

import atexit
import glob
import importlib
import os
import runpy
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
# A fresh reader with a cluster to start must still end.
CHILD_TIMEOUT = 240

_site = []


def needs(*names):
    """Skips the test case unless every module in names imports, saying
    which one is missing."""
    for name in names:
        try:
            importlib.import_module(name)
        except ImportError as e:
            return unittest.skip("needs %s (%s)" % (name, e))
    return lambda case: case


def _loads_entry_points():
    try:
        import numcodecs.registry
    except ImportError:
        return True
    return hasattr(numcodecs.registry, "run_entrypoints")


# numcodecs before 0.10 (Debian 11's 0.7) loads no entry points: its users
# import the codec's module, as the scripts that stand for them do there.
ENTRY_POINTS = _loads_entry_points()
REGISTER = "" if ENTRY_POINTS else "import pyvaskor_numcodecs\n"
needs_entry_points = unittest.skipUnless(ENTRY_POINTS, "numcodecs before 0.10 loads no entry points")


def major(module):
    return int(module.__version__.split(".")[0])


def temp_dir():
    path = tempfile.mkdtemp(prefix="vaskor-storage-")
    atexit.register(shutil.rmtree, path, True)
    return path


def unpacked_wheel():
    """A folder holding the wheel's files exactly as pip puts them into
    site-packages, dist-info and its entry_points.txt included."""
    if _site:
        return _site[0]
    # Where the build or the host matrix put the module and its companions;
    # found without loading the module.
    import pyvaskor_frames
    here = os.path.dirname(os.path.abspath(pyvaskor_frames.__file__))
    if glob.glob(os.path.join(here, "pyvaskor-*.dist-info", "entry_points.txt")):
        _site.append(here)
        return here
    builder = runpy.run_path(os.path.join(ROOT, "packaging", "build_wheel.py"))
    work = temp_dir()
    wheel = builder["build"](os.path.join(here, "pyvaskor.so"), os.path.join(work, "dist"))
    site = os.path.join(work, "site")
    with zipfile.ZipFile(wheel) as zf:
        zf.extractall(site)
    _site.append(site)
    return site


def start_python(argv, **popen):
    """Starts a new interpreter with argv, its path holding the unpacked
    wheel and nothing of the source tree, in a folder of its own unless
    popen names one."""
    env = dict(os.environ, PYTHONPATH=unpacked_wheel(), PYTHONDONTWRITEBYTECODE="1")
    popen.setdefault("cwd", temp_dir())
    return subprocess.Popen([sys.executable, "-s"] + list(argv), env=env,
                            universal_newlines=True, **popen)


def start_fresh(code, *args, **popen):
    """Starts code as start_python does."""
    return start_python(["-c", code] + list(args), **popen)


def run_fresh(code, *args):
    """Runs code as start_fresh does; returns its stdout, or fails the test
    with its output."""
    proc = start_fresh(code, *args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    try:
        out = proc.communicate(timeout=CHILD_TIMEOUT)[0]
    finally:
        if proc.poll() is None:
            proc.kill()
    if proc.returncode != 0:
        raise AssertionError("fresh interpreter failed (%d):\n%s" % (proc.returncode, out))
    return out
