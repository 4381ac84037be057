# -*- coding: utf-8 -*-
"""The array functions on numpy int64 columns (values below 2^40): time per
value beside the memory floor (a.copy(), a.tobytes()), the list route and
numpy's own bit packing; what each call allocates beyond its result; and
the throughput of 1, 2 and 4 threads each packing its own array. Printed,
and written to arrays_bench.md in the output folder."""
from __future__ import absolute_import, division, print_function

import os
import platform
import sys
import threading
import time

from .common import code_path, np, range
from .peers import np_pack_unpackbits
from .report import cpu_model, md_table, text_table
from .timing import Timer

ARRAY_NS = [10 ** 3, 10 ** 4, 10 ** 5, 10 ** 6, 10 ** 7]
LIST_ROUTE_MAX_N = 10 ** 6  # the list route is for scale only
THREAD_N = 10 ** 7
VALUE_BITS = 40


def column(n, seed=7):
    return np.random.RandomState(seed).randint(0, 1 << VALUE_BITS, n, dtype=np.int64)


def allocated(fn, args):
    """Bytes that tracemalloc sees the call allocate at its peak, and the
    size of what it returns (numpy and Python's allocators both report)."""
    import tracemalloc
    tracemalloc.start()
    try:
        tracemalloc.clear_traces()
        base = tracemalloc.get_traced_memory()[0]
        tracemalloc.reset_peak() if hasattr(tracemalloc, 'reset_peak') else None
        result = fn(*args)
        peak = tracemalloc.get_traced_memory()[1] - base
    finally:
        tracemalloc.stop()
    size = result[0].__len__() if isinstance(result, tuple) else len(memoryview(result).cast('B'))
    return peak, size


def thread_rates(work, counts, calls=3):
    """Values per ns with k threads, each running work(i) on its own 10^7
    values."""
    rates = {}
    for k in counts:
        best = None
        for _ in range(3):
            threads = [threading.Thread(target=lambda i=i: [work(i) for _ in range(calls)]) for i in range(k)]
            t0 = time.time()
            for t in threads:
                t.start()
            for t in threads:
                t.join()
            dt = time.time() - t0
            best = dt if best is None else min(best, dt)
        rates[k] = k * calls * THREAD_N / (best * 1e9)
    return rates


NAMES = ['a.copy()', 'a.tobytes()', 'bpeEncodeArray(a)', 'neEncodeArray(a)',
         'bpeDecodeArray(p, w)', 'neDecodeArray(p, w)', 'bpeDecodeArray(p, w, out)',
         'numpy bit packing', 'bpeEncode(a.tolist())', 'array(bpeDecode(p, w))']
THREAD_COUNTS = [1, 2, 4]


def measure_sizes(mod, timer, ns_list):
    """[(n, {name: ns per value})]."""
    rows = []
    for n in ns_list:
        a = column(n)
        bp, bw = mod.bpeEncodeArray(a)
        nb, nw = mod.neEncodeArray(a)
        out = np.empty(n, np.int64)
        # Same results as the list functions, or no comparison.
        if n <= LIST_ROUTE_MAX_N:
            lst = a.tolist()
            if (bp, bw) != mod.bpeEncode(lst) or (nb, nw) != mod.neEncode(lst):
                raise SystemExit('python_bench: an array encoder differs from its list function')
        if not np.array_equal(np.frombuffer(mod.neDecodeArray(nb, nw), np.int64), a):
            raise SystemExit('python_bench: neDecodeArray does not give the column back')
        if np_pack_unpackbits(a) != (bp, bw):
            raise SystemExit('python_bench: numpy bit packing differs from bpeEncodeArray')
        cases = [
            ('a.copy()', a.copy, ()),
            ('a.tobytes()', a.tobytes, ()),
            ('bpeEncodeArray(a)', mod.bpeEncodeArray, (a,)),
            ('neEncodeArray(a)', mod.neEncodeArray, (a,)),
            ('bpeDecodeArray(p, w)', mod.bpeDecodeArray, (bp, bw)),
            ('neDecodeArray(p, w)', mod.neDecodeArray, (nb, nw)),
            ('bpeDecodeArray(p, w, out)', mod.bpeDecodeArray, (bp, bw, out)),
            ('numpy bit packing', np_pack_unpackbits, (a,)),
        ]
        if n <= LIST_ROUTE_MAX_N:
            cases += [
                ('bpeEncode(a.tolist())', lambda x: mod.bpeEncode(x.tolist()), (a,)),
                ('array(bpeDecode(p, w))', lambda p, w: np.array(mod.bpeDecode(p, w), np.int64), (bp, bw)),
            ]
        times = dict((name, timer.per_call(fn, args) * 1e9 / n) for name, fn, args in cases)
        rows.append((n, times))
        sys.stderr.write('python_bench: arrays N=%d done\n' % n)
    return rows


def size_table(rows):
    head = ['ns per value (× a.copy())'] + ['N=10^%d' % (len(str(n)) - 1) for n, _ in rows]
    table = []
    for name in NAMES:
        cells = []
        for n, t in rows:
            cells.append('%.2f (%.2f×)' % (t[name], t[name] / t['a.copy()']) if name in t else '–')
        table.append([name] + cells)
    return head, table


def target_lines(rows):
    """Against the copy floor and the list route, at 10^6 and at 10^7."""
    out = []
    by_n = dict(rows)
    for n in (10 ** 6, 10 ** 7):
        t = by_n.get(n)
        if not t:
            continue
        exp = len(str(n)) - 1
        for fn, route in [('bpeEncodeArray(a)', 'bpeEncode(a.tolist())'),
                          ('neEncodeArray(a)', None),
                          ('bpeDecodeArray(p, w)', 'array(bpeDecode(p, w))'),
                          ('neDecodeArray(p, w)', None)]:
            r = t[fn] / t['a.copy()']
            line = '- N=10^%d %s ≤ 2× a.copy(): %.2f ns vs %.2f ns = %.2f× — %s' % (
                exp, fn, t[fn], t['a.copy()'], r, 'met' if r <= 2 else 'MISSED')
            if route and route in t:
                f = t[route] / t[fn]
                line += '; ≥ 30× faster than %s: %.2f ns = %.0f× faster — %s' % (
                    route, t[route], f, 'met' if f >= 30 else 'MISSED')
            out.append(line)
    return out


def allocation_lines(mod):
    if sys.version_info < (3, 4):
        return []
    a = column(10 ** 6)
    bp, bw = mod.bpeEncodeArray(a)
    out = []
    for name, fn, args in [('bpeEncodeArray(a)', mod.bpeEncodeArray, (a,)),
                           ('neEncodeArray(a)', mod.neEncodeArray, (a,)),
                           ('bpeDecodeArray(p, w)', mod.bpeDecodeArray, (bp, bw))]:
        peak, size = allocated(fn, args)
        out.append([name, '%d' % peak, '%d' % size, '%d' % (peak - size)])
    return out


def measure_threads(mod, quick):
    """{name: {k: values per ns}}; wall time, each thread on its own array."""
    arrays = [column(THREAD_N, seed) for seed in range(max(THREAD_COUNTS))]
    packed = [mod.bpeEncodeArray(a) for a in arrays]
    rates = []
    for name, work in [('a.copy()', lambda i: arrays[i].copy()),
                       ('bpeEncodeArray(a)', lambda i: mod.bpeEncodeArray(arrays[i])),
                       ('bpeDecodeArray(p, w)', lambda i: mod.bpeDecodeArray(*packed[i]))]:
        rates.append((name, thread_rates(work, THREAD_COUNTS, 1 if quick else 3)))
        sys.stderr.write('python_bench: arrays threads, %s done\n' % name)
    return rates


def thread_table(rates):
    head = ['values per ns (× 1 thread)'] + ['%d thread%s' % (k, '' if k == 1 else 's')
                                             for k in THREAD_COUNTS]
    return head, [[name] + ['%.2f (%.2f×)' % (r[k], r[k] / r[1]) for k in THREAD_COUNTS]
                  for name, r in rates]


def run_arrays(mod, quick, out_dir=None):
    if np is None or not hasattr(mod, 'bpeEncodeArray'):
        print('Arrays: skipped (needs numpy)')
        return
    timer = Timer(quick)
    ns_list = [n for n in ARRAY_NS if not (quick and n > 10 ** 6)]
    load_before = os.getloadavg()
    rows = measure_sizes(mod, timer, ns_list)
    alloc = allocation_lines(mod)
    threads = measure_threads(mod, quick)
    load_after = os.getloadavg()

    context = [
        'Python %s (%s), numpy %s' % (platform.python_version(), sys.executable, np.__version__),
        'Machine: %s, %d CPUs; code path: %s; load average before %s, after %s' % (
            cpu_model(), os.sysconf('SC_NPROCESSORS_ONLN'), code_path(),
            ' '.join('%.2f' % x for x in load_before), ' '.join('%.2f' % x for x in load_after)),
        'Data: numpy int64 columns of random values below 2^%d (bit width %d); times are process '
        'CPU time, the best of repeated runs%s; threads by wall time.' % (
            VALUE_BITS, VALUE_BITS + 1, ', quick mode' if quick else ''),
    ]
    sh, st = size_table(rows)
    th, tt = thread_table(threads)
    targets = target_lines(rows)
    print()
    print('Arrays and numpy (ns per value, ratio to a.copy() in the same run):')
    for l in context:
        print(l)
    print(text_table(sh, st))
    if alloc:
        print()
        print('Allocated at the peak of one call, N=10^6 (tracemalloc), beside the result (bytes):')
        print(text_table(['call', 'peak', 'result', 'beyond it'], alloc))
    print()
    print('Threads, each on its own 10^7-value array (ratio to one thread; %d CPUs):' %
          os.sysconf('SC_NPROCESSORS_ONLN'))
    print(text_table(th, tt))
    print()
    for l in targets:
        print(l)
    if not out_dir:
        return
    if not os.path.isdir(out_dir):
        os.makedirs(out_dir)
    lines = ['# Array functions on numpy columns', '',
             'Written by `make bench-python` (`bench/pybench/arrays.py`), %s UTC.' %
             time.strftime('%Y-%m-%d %H:%M', time.gmtime()), '']
    lines += [l + '  ' for l in context]
    lines += ['', '## Cost per value (ns), with the ratio to a.copy() at the same N', '',
              md_table(sh, st), '',
              '`a.copy()` and `a.tobytes()` are the copy floor: one read and one write of the '
              'int64 column. "numpy bit packing" is numpy\'s own packing of the column into '
              'the same bit layout (checked to give bpeEncodeArray\'s bytes). The list route '
              '(`bpeEncode(a.tolist())`, `numpy.array(bpeDecode(p, w))`) is timed up to N=10^%d, '
              'for scale.' % (len(str(LIST_ROUTE_MAX_N)) - 1), '']
    if alloc:
        lines += ['## Allocated at the peak of one call, N=10^6 (tracemalloc, bytes)', '',
                  md_table(['call', 'peak', 'result', 'beyond it'], alloc), '']
    lines += ['## Threads, each packing its own 10^%d-value array' % (len(str(THREAD_N)) - 1), '',
              'Values per ns over all threads (wall time, best of 3), and the ratio to one '
              'thread. The array functions release the interpreter lock while the codec runs; '
              'the machine has %d CPUs, so more threads than that share them.' %
              os.sysconf('SC_NPROCESSORS_ONLN'), '',
              md_table(th, tt), '',
              '## Targets', ''] + targets + ['']
    path = os.path.join(out_dir, 'arrays_bench.md')
    with open(path, 'w') as f:
        f.write('\n'.join(lines))
    sys.stderr.write('python_bench: wrote %s\n' % path)
