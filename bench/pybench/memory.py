"""Peak memory of one call, measured in a child process of the entry script."""
from __future__ import absolute_import, division, print_function

import os
import subprocess
import sys

from .common import VALUE_BITS, load_module, range

# The child runs the entry point, bench/python_bench.py, beside this package.
ENTRY = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                     'python_bench.py')


def rss_now_kib():
    with open('/proc/self/statm') as f:
        pages = int(f.read().split()[1])
    return pages * (os.sysconf('SC_PAGE_SIZE') // 1024)


def peak_kib():
    """The process's own peak resident size. ru_maxrss is the same counter,
    except that it never goes below the parent's size at fork (Linux keeps
    that across exec) and cannot be reset, so VmHWM is read where it exists."""
    import resource
    try:
        with open('/proc/self/status') as f:
            for line in f:
                if line.startswith('VmHWM:'):
                    return int(line.split()[1])
    except (IOError, OSError):
        pass
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss


def reset_peak():
    """Lets ru_maxrss start again from the current size (Linux 4.0+)."""
    try:
        with open('/proc/self/clear_refs', 'w') as f:
            f.write('5')
        return True
    except (IOError, OSError):
        return False


def int_bytes(x):
    """Heap bytes of one int as the allocator hands them out (16-byte steps)."""
    if -5 <= x <= 256:
        return 0  # the interpreter's shared small ints
    return (sys.getsizeof(x) + 15) // 16 * 16


def child_memory(op, module_dir, n):
    mod = load_module(module_dir)
    if op == 'encode':
        lst = [(i * 2654435761) & ((1 << VALUE_BITS) - 1) for i in range(n)]
        fn, args = mod.bpeEncode, (lst,)
        in_size = sys.getsizeof(lst) + sum(int_bytes(x) for x in lst)
    elif op == 'ne_encode':
        lst = [(i * 2654435761) & ((1 << VALUE_BITS) - 1) for i in range(n)]
        fn, args = mod.neEncode, (lst,)
        in_size = sys.getsizeof(lst) + sum(int_bytes(x) for x in lst)
    elif op == 'decode':
        data = os.urandom(n * 31 // 8 + 1)
        fn, args = mod.bpeDecode, (data, 31)
        in_size = sys.getsizeof(data)
    else:  # ne_decode
        data = os.urandom(n * 4)
        fn, args = mod.neDecode, (data, 4)
        in_size = sys.getsizeof(data)
    reset_ok = reset_peak()
    before_peak = peak_kib()
    before_now = rss_now_kib()
    res = fn(*args)
    after_peak = peak_kib()
    if isinstance(res, tuple):
        out_size = sys.getsizeof(res[0])
        count = n
    else:
        out_size = sys.getsizeof(res) + sum(int_bytes(x) for x in res)
        count = len(res)
    # The peak counts from the larger of the current size and the peak so far.
    base = before_now if reset_ok else max(before_now, before_peak)
    print('%d %d %d %d %d %d' % (count, in_size, out_size, base * 1024,
                                 after_peak * 1024, 1 if reset_ok else 0))


def measure_memory(module_dir, n):
    out = {}
    for op in ('encode', 'ne_encode', 'decode', 'ne_decode'):
        cmd = [sys.executable, ENTRY, '--child-memory', op,
               '--module-dir', module_dir or '', '--n', str(n)]
        text = subprocess.check_output(cmd).decode('ascii').split()
        count, in_size, out_size, base, peak, reset_ok = [int(x) for x in text]
        extra = peak - base - out_size
        out[op] = dict(count=count, in_size=in_size, out_size=out_size, base=base,
                       peak=peak, extra=extra, per_value=extra / n, reset=bool(reset_ok))
    return out
