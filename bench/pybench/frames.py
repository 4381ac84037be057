"""Frames against the compressors a zarr user has at hand: on 10^7-value
int64 columns of six kinds, the stored size (ratio to the raw bytes) and
encode/decode time per value of the pyvaskor codec (bit-packed, each
transform) beside numcodecs' Blosc (lz4 + bit shuffle, zstd + byte
shuffle), Zstd and LZ4; and frameEncode/frameDecode beside
bpeEncodeArray/bpeDecodeArray on the same values. Figures only.

Part of `make bench-python`; on its own, from bench/:
    python3 -m pybench.frames --module-dir ../build-bench [--quick] [--out DIR]
"""
from __future__ import absolute_import, division, print_function

import os
import sys
import time

from .common import load_module, np
from .report import cpu_model, md_table, text_table
from .timing import Timer

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
N, QUICK_N = 10 ** 7, 10 ** 6
PEER = 'blosc lz4 bitshuffle'


def columns(n, seed=11):
    """name -> int64 column."""
    rnd = np.random.RandomState(seed)
    steps = rnd.randint(500000, 1500000, n)  # nanoseconds, around 1 ms
    gaps = rnd.geometric(0.3, n)  # ids, mostly consecutive
    return [
        ('random < 2^7', rnd.randint(0, 1 << 7, n, dtype=np.int64)),
        ('random < 2^20', rnd.randint(0, 1 << 20, n, dtype=np.int64)),
        ('random < 2^40', rnd.randint(0, 1 << 40, n, dtype=np.int64)),
        ('timestamps (ns, ~1 ms steps)', 1700000000000000000 + np.cumsum(steps)),
        ('sorted ids with gaps', 10 ** 9 + np.cumsum(gaps)),
        ('counters, small increments', np.cumsum(rnd.randint(0, 4, n))),
    ]


def codecs():
    """(name, numcodecs codec); Blosc on one thread, as the time is the
    process's CPU time."""
    sys.path.insert(0, os.path.join(ROOT, 'storage'))
    import numcodecs
    from numcodecs import blosc
    from pyvaskor_numcodecs import Vaskor
    blosc.set_nthreads(1)
    return [
        ('pyvaskor for', Vaskor('bpe', 'for')),
        ('pyvaskor delta', Vaskor('bpe', 'delta')),
        (PEER, numcodecs.Blosc('lz4', 5, numcodecs.Blosc.BITSHUFFLE)),
        ('blosc zstd shuffle', numcodecs.Blosc('zstd', 5, numcodecs.Blosc.SHUFFLE)),
        ('zstd', numcodecs.Zstd()),
        ('lz4', numcodecs.LZ4()),
    ]


def measure(mod, timer, a):
    """name -> (bytes, encode ns, decode ns) for every codec and call."""
    out = np.empty_like(a)
    rows = {}
    for name, codec in codecs():
        enc = codec.encode(a)
        if not np.array_equal(codec.decode(enc, out=out), a):
            raise SystemExit('frames bench: %s does not give the column back' % name)
        rows[name] = (len(memoryview(enc).cast('B')),
                      timer.per_call(codec.encode, (a,)) * 1e9 / len(a),
                      timer.per_call(codec.decode, (enc, out)) * 1e9 / len(a))
    frame = mod.frameEncode(a)
    packed, width = mod.bpeEncodeArray(a)
    for name, size, enc, dec in [
            ('frameEncode/frameDecode', len(frame), (mod.frameEncode, (a,)),
             (lambda f, o: mod.frameDecode(f, out=o), (frame, out))),
            ('bpeEncodeArray/bpeDecodeArray', len(packed), (mod.bpeEncodeArray, (a,)),
             (mod.bpeDecodeArray, (packed, width, out)))]:
        rows[name] = (size, timer.per_call(*enc) * 1e9 / len(a), timer.per_call(*dec) * 1e9 / len(a))
    return rows


def targets(results, n):
    lines = []
    for column, rows in results:
        best = min(('pyvaskor for', 'pyvaskor delta'), key=lambda k: rows[k][0])
        size, enc, dec = rows[best]
        psize, penc, pdec = rows[PEER]
        fr, ar = rows['frameEncode/frameDecode'], rows['bpeEncodeArray/bpeDecodeArray']
        lines.append(
            '- %s: %s %s as small as %s (%.3f against %.3f bytes a value), encode %.1fx and '
            'decode %.1fx its throughput (target >= 3x); frame/array functions encode %.2fx, '
            'decode %.2fx (target <= 1.2x)' % (
                column, best, 'is' if size <= psize else 'is NOT', PEER, size / n, psize / n,
                penc / enc, pdec / dec, fr[1] / ar[1], fr[2] / ar[2]))
    return lines


def run_frames(mod, quick, out_dir=None):
    if np is None or not hasattr(mod, 'frameEncode'):
        print('Frames: skipped (needs numpy and a module with frames)')
        return
    try:
        import numcodecs  # noqa: F401
    except ImportError:
        print('Frames: skipped (needs numcodecs: python3-numcodecs)')
        return
    n = QUICK_N if quick else N
    timer = Timer(quick)
    load_before = os.getloadavg()
    results = []
    for column, a in columns(n):
        results.append((column, measure(mod, timer, a)))
        sys.stderr.write('python_bench: frames, %s done\n' % column)
    load_after = os.getloadavg()
    context = 'Frames and numcodecs on %s; load average before %s, after %s; N=%d int64 values, ' \
              'raw 8 bytes a value; process CPU time, best of repeated runs' % (
                  cpu_model(), ' '.join('%.2f' % x for x in load_before),
                  ' '.join('%.2f' % x for x in load_after), n)
    head = ['column', 'codec', 'ratio', 'bytes/value', 'encode ns/value', 'decode ns/value']
    table = []
    for column, rows in results:
        for name in sorted(rows, key=lambda k: rows[k][0]):
            size, enc, dec = rows[name]
            table.append([column, name, '%.2f' % (8.0 * n / size), '%.3f' % (size / n),
                          '%.2f' % enc, '%.2f' % dec])
    print()
    print(context)
    print(text_table(head, table))
    print()
    for line in targets(results, n):
        print(line)
    if out_dir:
        if not os.path.isdir(out_dir):
            os.makedirs(out_dir)
        path = os.path.join(out_dir, 'frames_bench.md')
        with open(path, 'w') as f:
            f.write('\n'.join([
                '# Frames against numcodecs\' compressors', '',
                'Written by `make bench-python` (`bench/pybench/frames.py`), %s UTC.' %
                time.strftime('%Y-%m-%d %H:%M', time.gmtime()), '', context + '.', '',
                md_table(head, table), '', 'Blosc runs on one thread. Targets (not asserted):', '']
                + targets(results, n) + ['']))
        sys.stderr.write('python_bench: wrote %s\n' % path)


def main():
    import argparse
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('--module-dir', default='build-bench')
    ap.add_argument('--out', default=None, help='write frames_bench.md here')
    ap.add_argument('--quick', action='store_true', help='10^6 values, shorter timing')
    args = ap.parse_args()
    run_frames(load_module(args.module_dir), args.quick, args.out)


if __name__ == '__main__':
    main()
