"""The columns every frame benchmark measures, defined here once: made
columns of 2^20 int64 values from fixed seeds, and real ones read off this
machine (machine_columns). The C++ benchmark reads what this writes:

    cd bench && python3 -m pybench.columns --out DIR [--quick]

DIR gets one raw little-endian int64 file per column and columns.tsv
(file, length, flags, name, source), a line per column. Flags:
'one_width' where one bit width already suits every value (evenly spread),
'range' for the long column of the range-decode rows.
"""
from __future__ import absolute_import, division, print_function

import os
import sys

import numpy as np

from . import machine_columns

N, QUICK_N = 1 << 20, 1 << 14
RANGE_N, QUICK_RANGE_N = 10 ** 7, 1 << 17
INDEX = 'columns.tsv'


class Column(object):
    def __init__(self, name, values, source, flags=()):
        self.name = name
        self.values = np.ascontiguousarray(values, dtype=np.int64)
        self.source = source
        self.flags = tuple(flags)


T0 = 1700000000 * 10 ** 9  # 2023-11-14, in ns
MS, S = 10 ** 6, 10 ** 9


def ms_jitter(rnd, n):
    """1 ms ticks in ns, each off its tick by up to 50 us either way."""
    return T0 + np.arange(n, dtype=np.int64) * MS + rnd.randint(-50000, 50001, n)


def made(n):
    """(name, source, flags, maker(rnd, n)); each column has its own seed,
    so that adding one changes no other."""
    def outliers(rnd, n):
        a = rnd.randint(0, 1 << 10, n)
        at = rnd.choice(n, max(1, n // 1000), replace=False)
        a[at] = (1 << 40) - rnd.randint(0, 1 << 20, len(at))
        return a

    def runs(rnd, n):
        return np.repeat(rnd.randint(0, 1 << 20, n // 256 + 1), 256)[:n]

    def regimes(rnd, n):
        a = rnd.randint(0, 1000, n)
        a[n // 2:] += 10 ** 9
        return a

    def dictionary(rnd, n):
        return ((1 << 33) + rnd.randint(-(1 << 20), 1 << 20, 8))[rnd.randint(0, 8, n)]

    def nat(rnd, n):
        a = ms_jitter(rnd, n)
        a[rnd.choice(n, max(1, n // 10000), replace=False)] = np.iinfo(np.int64).min
        return a

    def sentinel(rnd, n):
        a = rnd.randint(0, 1 << 12, n)
        a[::1 << 16] = -1
        return a

    return [
        ('below 2^10', 'uniform in [0, 2^10)', (), lambda r, n: r.randint(0, 1 << 10, n)),
        ('below 2^10, 0.1% outliers', 'as above, 0.1% of places set within 2^20 under 2^40',
         (), outliers),
        ('runs of 256', 'runs of 256 equal values, each uniform below 2^20', (), runs),
        ('two regimes', 'first half below 1000, second half 10^9 + below 1000', (), regimes),
        ('8 distinct near 2^33', '8 values within 2^20 of 2^33, each place any of them',
         (), dictionary),
        ('1 s timestamps', 'ns, exactly 1 s apart', (),
         lambda r, n: T0 + np.arange(n, dtype=np.int64) * S),
        ('1 ms timestamps, jitter', 'ns, 1 ms ticks, each off by up to 50 us', (), ms_jitter),
        ('random walk', 'cumulative sum of steps uniform in -100..100', (),
         lambda r, n: np.cumsum(r.randint(-100, 101, n))),
        ('sorted ids, geometric gaps', '10^9 + cumulative sum of geometric(0.3) gaps', (),
         lambda r, n: 10 ** 9 + np.cumsum(r.geometric(0.3, n))),
        ('even below 2^7', 'uniform in [0, 2^7)', ('one_width',),
         lambda r, n: r.randint(0, 1 << 7, n)),
        ('even below 2^20', 'uniform in [0, 2^20)', ('one_width',),
         lambda r, n: r.randint(0, 1 << 20, n)),
        ('even below 2^40', 'uniform in [0, 2^40)', ('one_width',),
         lambda r, n: r.randint(0, 1 << 40, n, dtype=np.int64)),
        ('timestamps with NaT', '1 ms timestamps, int64 minimum (NaT) at 0.01% of places',
         (), nat),
        ('-1 every 64Ki', 'uniform below 2^12, -1 at every 65536th place', (), sentinel),
        ('zarr edge chunk', '10^5 values: one data value, then the fill value 0', (),
         lambda r, n: np.concatenate(([123456789], np.zeros(10 ** 5 - 1, np.int64)))),
    ]


def make_columns(quick, real=True):
    n = QUICK_N if quick else N
    out = []
    for seed, (name, source, flags, maker) in enumerate(made(n)):
        rnd = np.random.RandomState(1000 + seed)
        out.append(Column(name, maker(rnd, n), source, flags))
    if real:
        for name, values, source in machine_columns.columns(QUICK_N if quick else None):
            out.append(Column(name, values, source))
    return out


def range_column(quick):
    """The long column of the range-decode rows."""
    n = QUICK_RANGE_N if quick else RANGE_N
    return Column('1 ms timestamps, jitter, long', ms_jitter(np.random.RandomState(999), n),
                  'ns, 1 ms ticks, each off by up to 50 us', ('range',))


def write(folder, cols):
    if not os.path.isdir(folder):
        os.makedirs(folder)
    lines = []
    for i, c in enumerate(cols):
        fname = '%02d.bin' % i
        c.values.astype('<i8').tofile(os.path.join(folder, fname))
        lines.append('\t'.join([fname, str(len(c.values)), ','.join(c.flags) or '-', c.name,
                                c.source]))
    with open(os.path.join(folder, INDEX), 'w') as f:
        f.write('\n'.join(lines) + '\n')


def read(folder):
    cols = []
    with open(os.path.join(folder, INDEX)) as f:
        for line in f:
            fname, length, flags, name, source = line.rstrip('\n').split('\t')
            values = np.fromfile(os.path.join(folder, fname), dtype='<i8').astype(np.int64)
            if len(values) != int(length):
                raise SystemExit('columns: %s holds %d values, not %s' % (fname, len(values), length))
            cols.append(Column(name, values, source, [] if flags == '-' else flags.split(',')))
    return cols


def main():
    import argparse
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('--out', required=True, help='folder for the column files')
    ap.add_argument('--quick', action='store_true', help='2^14-value columns')
    args = ap.parse_args()
    cols = make_columns(args.quick) + [range_column(args.quick)]
    write(args.out, cols)
    sys.stderr.write('columns: %d columns (%d values) in %s\n' % (
        len(cols), sum(len(c.values) for c in cols), args.out))


if __name__ == '__main__':
    main()
