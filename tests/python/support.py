"""Helpers shared by the Python test files."""

import sys

PYPY = hasattr(sys, 'pypy_version_info')


def type_error(fn, *args, **kwargs):
    """The message of the plain TypeError that fn(*args, **kwargs) raises."""
    try:
        fn(*args, **kwargs)
    except TypeError as e:
        if type(e) is not TypeError:
            raise
        return str(e)
    raise AssertionError('no TypeError')
