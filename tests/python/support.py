"""Helpers shared by the Python test files."""

import sys
import unittest

PYPY = hasattr(sys, 'pypy_version_info')


def needs_cpython(tool):
    """Skips a test or class that needs a tool only CPython has (PyPy lacks
    it, or it means something else there), naming the tool."""
    return unittest.skipIf(PYPY, 'needs %s, which only CPython has' % tool)


def refcounts(objs):
    """The reference counts of objs; none on hosts without them (PyPy).
    The interpreter's attribute cache holds the names last looked up, so an
    interned string's count moves as unrelated lookups evict it: emptied
    first, only references held elsewhere are counted."""
    if PYPY:
        return []
    (getattr(sys, '_clear_internal_caches', None) or sys._clear_type_cache)()
    return [sys.getrefcount(o) for o in objs]


def type_error(fn, *args, **kwargs):
    """The message of the plain TypeError that fn(*args, **kwargs) raises."""
    try:
        fn(*args, **kwargs)
    except TypeError as e:
        if type(e) is not TypeError:
            raise
        return str(e)
    raise AssertionError('no TypeError')


def value_error(fn, *args, **kwargs):
    """The message of the plain ValueError that fn(*args, **kwargs) raises."""
    try:
        fn(*args, **kwargs)
    except ValueError as e:
        if type(e) is not ValueError:
            raise
        return str(e)
    raise AssertionError('no ValueError')


def frame_error(fn, *args, **kwargs):
    """The exception class name and message of the FrameError (or
    FrameVersionError) that fn(*args, **kwargs) raises."""
    import pyvaskor
    try:
        fn(*args, **kwargs)
    except pyvaskor.FrameError as e:
        return type(e).__name__, str(e)
    raise AssertionError('no FrameError')


def run_python(code):
    """The standard output of code run by a fresh interpreter like this one,
    that finds what lies beside pyvaskor and nothing of this process."""
    import os
    import subprocess
    import pyvaskor
    env = dict(os.environ, PYTHONPATH=os.path.dirname(os.path.abspath(pyvaskor.__file__)))
    proc = subprocess.Popen([sys.executable, '-c', code], stdout=subprocess.PIPE, env=env)
    out = proc.communicate()[0]
    if proc.returncode != 0:
        raise AssertionError('the child failed with status %d' % proc.returncode)
    return out.decode('ascii')


def default_signals():
    """For a child's start-up: the dispositions a foreground shell leaves. A
    suite started as a background job has SIGINT ignored, which the child
    would inherit and the module rightly keep, so tests of the handler would
    see nothing."""
    import signal
    for signum in (signal.SIGINT, signal.SIGQUIT):
        signal.signal(signum, signal.SIG_DFL)


def _trimmer():
    try:
        import ctypes
        return ctypes.CDLL(None).malloc_trim
    except (ImportError, OSError, AttributeError):
        return None


_trim = _trimmer()


def resident_bytes():
    """Resident size with the C allocator's free memory given back first.
    After a block of tens of MiB is freed, glibc keeps up to 64 MiB free at
    the top of its heap before returning any, so the size would step by
    that much with nothing held; what a leak holds stays resident."""
    import resource
    if _trim is not None:
        _trim(0)
    with open('/proc/self/statm') as f:
        return int(f.read().split()[1]) * resource.getpagesize()


def steady_growth(work, rounds=6):
    """How much resident memory grows from the first half of `rounds` runs
    of `work` to the second, each run followed by two collections and the
    very first left out. PyPy's heap grows to a working size over the first
    runs and then moves up and down by tens of MiB; the lowest reading of
    each half filters that out, while a leak raises every reading. The C
    side of objects one collection finds dead is freed by the next: without
    it a reading held up to 64 MiB more now and then."""
    import gc
    ends = []
    for _ in range(rounds):
        work()
        gc.collect()
        gc.collect()
        ends.append(resident_bytes())
    half = rounds // 2
    return min(ends[half:]) - min(ends[1:half])


def least_growth(measure, bound, tries=3):
    """measure() run again while what it returns reaches bound, at most
    tries times; the least result. A leak that passes the bound in one
    measurement passes it in each; the heap's own movement (PyPy's collector,
    the allocator under a loaded machine) seldom does so twice running."""
    grown = measure()
    for _ in range(tries - 1):
        if grown < bound:
            break
        grown = min(grown, measure())
    return grown
