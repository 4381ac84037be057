"""Helpers shared by the Python test files."""

import sys
import unittest

PYPY = hasattr(sys, 'pypy_version_info')


def needs_cpython(tool):
    """Skips a test or class that needs a tool only CPython has (PyPy lacks
    it, or it means something else there), naming the tool."""
    return unittest.skipIf(PYPY, 'needs %s, which only CPython has' % tool)


def refcounts(objs):
    """The reference counts of objs; none on hosts without them (PyPy)."""
    return [] if PYPY else [sys.getrefcount(o) for o in objs]


def type_error(fn, *args, **kwargs):
    """The message of the plain TypeError that fn(*args, **kwargs) raises."""
    try:
        fn(*args, **kwargs)
    except TypeError as e:
        if type(e) is not TypeError:
            raise
        return str(e)
    raise AssertionError('no TypeError')


def resident_bytes():
    import resource
    with open('/proc/self/statm') as f:
        return int(f.read().split()[1]) * resource.getpagesize()


def steady_growth(work, rounds=4):
    """How much resident memory grows between the ends of the second and the
    last of `rounds` runs of `work`, each followed by one collection. PyPy's
    heap grows to a working size over the first runs and then holds; a leak
    keeps growing."""
    import gc
    ends = []
    for _ in range(rounds):
        work()
        gc.collect()
        ends.append(resident_bytes())
    return ends[-1] - ends[1]

