"""Shared by the Python benchmark: version shims, the optional numpy, the
sizes measured, and the module and the data under test."""
from __future__ import absolute_import, division, print_function

import array
import os
import random
import sys

PY2 = sys.version_info[0] == 2
if PY2:
    range = xrange  # noqa: F821  (lazy range on both)
else:
    range = range  # for the other modules to import

# 'q' came with Python 3.3; on 64-bit Linux Python 2 the 8-byte code is 'l'.
try:
    array.array('q')
    QCODE = 'q'
except ValueError:
    QCODE = 'l'


def array_to_bytes(a):
    return a.tostring() if PY2 else a.tobytes()


def array_from_bytes(code, b):
    a = array.array(code)
    if PY2:
        a.fromstring(b)
    else:
        a.frombytes(b)
    return a


try:
    import numpy as np
except ImportError:
    np = None

NS = [10 ** 3, 10 ** 5, 10 ** 6, 10 ** 7]
PURE_MAX_N = 10 ** 5  # pure-Python peers only up to here: they are for scale
TARGET_N = 10 ** 6
MEM_N = 10 ** 7
# Values below 2^30: one digit of a CPython int, and a bit width (31) that is
# not byte-aligned, so the bit-level peer has real work to do.
VALUE_BITS = 30


def load_module(module_dir):
    if module_dir:
        sys.path.insert(0, os.path.abspath(module_dir))
    import pyvaskor
    return pyvaskor


def make_values(n, seed=7):
    rnd = random.Random(seed)
    top = (1 << VALUE_BITS) - 1
    lst = [rnd.getrandbits(VALUE_BITS) for _ in range(n)]
    if n:
        lst[n // 2] = top  # the largest value fixes the width: 31 bits, 4 bytes
    return lst


# The instruction sets each of the library's kernel rows needs
# (vaskor/kernels/targets.hpp), as /proc/cpuinfo names them; the library
# runs the first row the processor has.
KERNEL_ROWS = [('avx512', ('avx2', 'avx512f', 'avx512vbmi', 'bmi2', 'movbe')),
               ('avx2', ('avx2',))]


def code_path():
    """The kernel row the library picks on this processor, by its flags."""
    flags = set()
    try:
        with open('/proc/cpuinfo') as f:
            for line in f:
                if line.startswith('flags'):
                    flags = set(line.split(':', 1)[1].split())
                    break
    except (IOError, OSError):
        return 'unknown (no /proc/cpuinfo)'
    for row, needs in KERNEL_ROWS:
        if all(x in flags for x in needs):
            return '%s kernel row (CPU has %s)' % (row, ', '.join(needs))
    return 'scalar kernel row'
