"""The column suite: every column of pybench.columns through pyvaskor's
frames and numcodecs' compressors (sizes, encode and decode ns per value,
one thread), through zarr 2 (total stored bytes), and the range decode of a
long blocked frame against a small frame of three blocks. Figures only:
the targets are printed met or missed, never asserted.

Part of `make bench-python`; on its own, from bench/:
    python3 -m pybench.suite --module-dir ../build-bench [--quick] [--columns DIR] [--out DIR]

Exits 77 (skipped) without numpy or numcodecs.
"""
from __future__ import absolute_import, division, print_function

import os
import sys

from .common import load_module, np
from .timing import Timer

ZARR_N, ZARR_CHUNK = 10 ** 6 + 1, 10 ** 5
RANGE_VALUES, RANGE_BLOCKS = 1000, 3


def blocked_variant(variants):
    """The layout of a newer frame version with its own default transform."""
    newer = [v for v in variants if v.version > 1 and v.default]
    return newer[0] if newer else None


def schemes_of(mod, variant, a):
    """The blocks of a's frame by scheme, as frameInfo gives them; ''
    where it gives none."""
    if variant is None:
        return ''
    got = mod.frameInfo(mod.frameEncode(a, **variant.kwargs())).get('schemes') or {}
    if isinstance(got, dict):
        got = ['%s %s' % kv for kv in sorted(got.items()) if kv[1]]
    return ', '.join(str(x) for x in got)


def zarr_codecs(mod, variants):
    """(label, compressor): each newer layout's default, the first
    version-1 layout's default, and the peer."""
    from .suite_codecs import PEER, blosc_compressors, vaskor_codec
    picked = [v for v in variants if v.default and v.version > 1]
    picked += [v for v in variants if v.default and v.version == 1][:1]
    out = [('pyvaskor ' + v.label, vaskor_codec(mod, v)) for v in picked]
    out.append((PEER, dict(blosc_compressors())[PEER]))
    return [(label, c) for label, c in out if c is not None]


def zarr_row(codec_list, a):
    """(values, [(label, stored bytes)]) of a through zarr 2."""
    import zarr
    a = a[:ZARR_N]
    sizes = []
    for label, compressor in codec_list:
        store = {}
        z = zarr.create(shape=len(a), chunks=ZARR_CHUNK, dtype='i8', fill_value=0,
                        compressor=compressor, store=store)
        z[:] = a
        if not np.array_equal(zarr.open_array(store, mode='r')[:], a):
            raise SystemExit('columns bench: zarr with %s does not give the column back' % label)
        sizes.append((label, sum(len(v) for v in store.values())))
    return len(a), sizes


def range_rows(mod, variants, timer, col):
    """[(label, block values, range ns, three-block frame ns)] for each
    layout's default whose frameDecode takes a range; [] before one does."""
    blocked = blocked_variant(variants)
    if blocked is None:
        return []
    big = col.values
    info = mod.frameInfo(mod.frameEncode(big, **blocked.kwargs()))
    if 'blocks' not in info:
        return []
    per_block = -(-len(big) // info['blocks'])
    start = len(big) // 2
    first = start - start % per_block  # the block the range starts in
    part = big[first:first + RANGE_BLOCKS * per_block]
    out_range, out_part = np.empty(RANGE_VALUES, np.int64), np.empty_like(part)
    rows = []
    for v in [x for x in variants if x.default]:
        frame, small = mod.frameEncode(big, **v.kwargs()), mod.frameEncode(part, **v.kwargs())
        try:
            mod.frameDecode(frame, out=out_range, start=start, stop=start + RANGE_VALUES)
        except TypeError:
            continue  # no range decode in this module
        if not np.array_equal(out_range, big[start:start + RANGE_VALUES]):
            raise SystemExit('columns bench: range decode of %s is wrong' % v.label)
        rng = timer.per_call(lambda: mod.frameDecode(frame, out=out_range, start=start,
                                                     stop=start + RANGE_VALUES), ())
        whole = timer.per_call(lambda: mod.frameDecode(small, out=out_part), ())
        rows.append((v.label, per_block, rng * 1e9, whole * 1e9))
    return rows


def run_suite(mod, module_dir, quick, out_dir=None, columns_dir=None):
    if np is None:
        print('Column suite: skipped (needs numpy)')
        return False
    try:
        import numcodecs  # noqa: F401
    except ImportError:
        print('Column suite: skipped (needs numcodecs: python3-numcodecs)')
        return False
    from . import columns, suite_codecs, suite_report, vocabulary
    load_before = os.getloadavg()
    variants = vocabulary.variants(mod, module_dir)
    codec_list = suite_codecs.codecs(mod, variants)
    cols = (columns.read(columns_dir) if columns_dir
            else columns.make_columns(quick) + [columns.range_column(quick)])
    timer = Timer(quick, 0.005, 2) if quick else Timer(False, 0.05, 3)
    try:
        import zarr
        zarr_ok = zarr.__version__.startswith('2.')
    except ImportError:
        zarr_ok = False
    zcodecs = zarr_codecs(mod, variants) if zarr_ok else []
    results, zarr_results, ranges = [], [], []
    for col in cols:
        if 'range' in col.flags:
            ranges = range_rows(mod, variants, timer, col)
            continue
        rows = suite_codecs.measure(codec_list, timer, col.values)
        results.append((col, rows))
        col.schemes = schemes_of(mod, blocked_variant(variants), col.values)
        if zcodecs:
            zarr_results.append((col,) + zarr_row(zcodecs, col.values))
        sys.stderr.write('python_bench: columns, %s done\n' % col.name)
    report = suite_report.Report(variants, results, zarr_results, ranges, quick,
                                 load_before, os.getloadavg(), zarr_ok)
    report.show(out_dir)
    return True


def main():
    import argparse
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('--module-dir', default='build-bench')
    ap.add_argument('--out', default=None, help='write columns_bench.md here')
    ap.add_argument('--columns', default=None, help='read the columns pybench.columns wrote here')
    ap.add_argument('--quick', action='store_true', help='small columns, short timing')
    args = ap.parse_args()
    if not run_suite(load_module(args.module_dir), args.module_dir, args.quick, args.out,
                     args.columns):
        sys.exit(77)


if __name__ == '__main__':
    main()
