"""The array functions on numpy int64 columns (values below 2^40): time per
value beside the memory floor (a.copy(), a.tobytes()), the list route and
numpy's own bit packing; what each call allocates beyond its result; and
the throughput of 1, 2 and 4 threads each packing its own array."""
from __future__ import absolute_import, division, print_function

import sys
import threading
import time

from .common import np, range
from .peers import np_pack_unpackbits
from .report import cpu_model, text_table
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


def run_arrays(mod, quick):
    if np is None or not hasattr(mod, 'bpeEncodeArray'):
        print('Arrays: skipped (needs numpy)')
        return
    timer = Timer(quick)
    ns_list = [n for n in ARRAY_NS if not (quick and n > 10 ** 6)]
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

    names = [c for c in ['a.copy()', 'a.tobytes()', 'bpeEncodeArray(a)', 'neEncodeArray(a)',
                         'bpeDecodeArray(p, w)', 'neDecodeArray(p, w)', 'bpeDecodeArray(p, w, out)',
                         'numpy bit packing', 'bpeEncode(a.tolist())', 'array(bpeDecode(p, w))']]
    print()
    print('Arrays and numpy (%s; numpy int64, values < 2^%d; ns per value, '
          'ratio to a.copy() in the same run)' % (cpu_model(), VALUE_BITS))
    head = ['call'] + ['N=10^%d' % (len(str(n)) - 1) for n, _ in rows]
    table = []
    for name in names:
        cells = []
        for n, t in rows:
            cells.append('%.2f (%.1fx)' % (t[name], t[name] / t['a.copy()']) if name in t else '-')
        table.append([name] + cells)
    print(text_table(head, table))
    target = dict(rows).get(10 ** 6)
    if target:
        print()
        print('At N=10^6 (code path: the array functions read and write the buffers in place, '
              'the codec\'s own kernels):')
        for fn, route in [('bpeEncodeArray(a)', 'bpeEncode(a.tolist())'),
                          ('neEncodeArray(a)', None),
                          ('bpeDecodeArray(p, w)', 'array(bpeDecode(p, w))'),
                          ('neDecodeArray(p, w)', None)]:
            line = '  %-22s %.2fx a.copy() (target <= 2)' % (fn, target[fn] / target['a.copy()'])
            if route:
                line += ', %.0fx faster than %s (target >= 30)' % (target[route] / target[fn], route)
            print(line)

    if sys.version_info >= (3, 4):
        a = column(10 ** 6)
        bp, bw = mod.bpeEncodeArray(a)
        print()
        print('Allocated at the peak of one call, N=10^6 (tracemalloc), beside the result:')
        for name, fn, args in [('bpeEncodeArray(a)', mod.bpeEncodeArray, (a,)),
                               ('neEncodeArray(a)', mod.neEncodeArray, (a,)),
                               ('bpeDecodeArray(p, w)', mod.bpeDecodeArray, (bp, bw))]:
            peak, size = allocated(fn, args)
            print('  %-22s peak %9d B, result %9d B, beyond it %d B' % (name, peak, size, peak - size))

    counts = [1, 2, 4]
    arrays = [column(THREAD_N, seed) for seed in range(max(counts))]
    packed = [mod.bpeEncodeArray(a) for a in arrays]
    print()
    print('Threads, each on its own 10^7-value array (values per ns, wall time, '
          'ratio to one thread; the machine has %s processors):' % (getattr(__import__('os'), 'cpu_count', lambda: '?')()))
    for name, work in [('a.copy()', lambda i: arrays[i].copy()),
                       ('bpeEncodeArray(a)', lambda i: mod.bpeEncodeArray(arrays[i])),
                       ('bpeDecodeArray(p, w)', lambda i: mod.bpeDecodeArray(*packed[i]))]:
        rates = thread_rates(work, counts, 1 if quick else 3)
        print('  %-22s ' % name + ', '.join('%d: %.2f (%.2fx)' % (k, rates[k], rates[k] / rates[1]) for k in counts))
