# -*- coding: utf-8 -*-
"""The column suite's tables and target verdicts, as text and as
bench/results/columns_bench.md."""
from __future__ import absolute_import, division, print_function

import os
import platform
import sys
import time

from .common import code_path, np
from .report import cpu_model, md_table, text_table
from .suite_codecs import BLOSC_CLEVEL, PEER

SIZE_SLACK = 1.01  # one-width columns: the blocked frame within 1% of the best version-1 frame
SPEED_FACTOR = 5.0  # blocked encode and decode against the peer's throughput


def verdict(ok):
    return '–' if ok is None else ('met' if ok else 'MISSED')


def per_value(size, n):
    return '%.3f' % (size / max(1, n))


def versions():
    out = ['Python %s' % platform.python_version(), 'numpy %s' % np.__version__]
    for name in ('numcodecs', 'zarr'):
        try:
            out.append('%s %s' % (name, __import__(name).__version__))
        except ImportError:
            pass
    return ', '.join(out)


class Report(object):
    def __init__(self, variants, results, zarr_results, ranges, quick, load_before,
                 load_after, zarr_ok):
        from .suite import blocked_variant
        self.variants, self.results = variants, results
        self.zarr_results, self.ranges, self.quick, self.zarr_ok = zarr_results, ranges, quick, zarr_ok
        self.blocked = blocked_variant(variants)
        self.context = (
            'Machine: %s, %d CPUs, Linux %s; code path: %s; %s; load average before %s, after %s; '
            'process CPU time, best of repeated runs%s' % (
                cpu_model(), os.sysconf('SC_NPROCESSORS_ONLN'), platform.release(), code_path(),
                versions(), ' '.join('%.2f' % x for x in load_before),
                ' '.join('%.2f' % x for x in load_after),
                '; QUICK run (small columns, short timing)' if quick else ''))

    def column_table(self):
        head = ['#', 'column', 'values', 'source']
        return head, [[str(i), c.name, str(len(c.values)), c.source]
                      for i, (c, _) in enumerate(self.results)]

    def codec_table(self, col, rows):
        n = len(col.values)
        head = ['codec', 'bytes/value', 'ratio', 'encode ns/value', 'decode ns/value']
        return head, [[r.codec.name, per_value(r.size, n), '%.2f' % (8.0 * n / max(1, r.size)),
                       '%.2f' % r.enc, '%.2f' % r.dec] for r in rows]

    def find(self, rows, group, variant):
        got = [r for r in rows if r.codec.group == group and r.codec.variant is variant]
        return got[0] if got else None

    def target_row(self, col, rows):
        n = len(col.values)
        blosc = min((r for r in rows if r.codec.group == 'blosc'), key=lambda r: r.size)
        v1 = min((r for r in rows if r.codec.group == 'frame' and r.codec.variant.version == 1),
                 key=lambda r: r.size)
        peer = [r for r in rows if r.codec.name == PEER][0]
        mine = self.blocked and self.find(rows, 'frame', self.blocked)
        timed = self.blocked and (self.find(rows, 'codec', self.blocked) or mine)
        one_width = 'one_width' in col.flags
        if mine is None:
            return [col.name, '–', '%s %s' % (per_value(blosc.size, n), blosc.codec.name), '–',
                    '%s %s' % (per_value(v1.size, n), v1.codec.name), '–', '–', '–', '–']
        size_ok = mine.size <= blosc.size
        slack_ok = mine.size <= SIZE_SLACK * v1.size if one_width else None
        enc, dec = peer.enc / timed.enc, peer.dec / timed.dec
        return [col.name, per_value(mine.size, n),
                '%s %s' % (per_value(blosc.size, n), blosc.codec.name), verdict(size_ok),
                '%s %s' % (per_value(v1.size, n), v1.codec.name),
                ('%+.2f%% %s' % (100.0 * (mine.size / v1.size - 1), verdict(slack_ok)))
                if one_width else '–',
                '%.1f×' % enc, '%.1f×' % dec, verdict(enc >= SPEED_FACTOR and dec >= SPEED_FACTOR)]

    def targets_table(self):
        label = self.blocked.label if self.blocked else 'newer layout'
        head = ['column', '%s B/value' % label, 'smallest Blosc', '<= Blosc',
                'best version-1 frame', 'within 1% (one width)', 'encode vs %s' % PEER,
                'decode vs %s' % PEER, '>= %.0f×' % SPEED_FACTOR]
        return head, [self.target_row(c, rows) for c, rows in self.results]

    def targets_note(self):
        if self.blocked is None:
            return ('No layout of a newer frame version in this build (measured: %s): its '
                    'columns show – until it lands.' % ', '.join(v.label for v in self.variants))
        codec = any(self.find(rows, 'codec', self.blocked) for _, rows in self.results)
        return ('%s: the frame (frameEncode) for sizes; for times %s against Blosc through '
                'numcodecs (throughput ratio, higher is faster).' % (
                    self.blocked.label, 'the numcodecs codec' if codec else
                    'frameEncode/frameDecode (the numcodecs codec does not write this layout)'))

    def zarr_table(self):
        labels = [k for k, _ in self.zarr_results[0][2]] if self.zarr_results else []
        head = ['column', 'values'] + ['%s bytes' % k for k in labels]
        return head, [[c.name, str(n)] + [str(b) for _, b in sizes]
                      for c, n, sizes in self.zarr_results]

    def range_table(self):
        from .suite import RANGE_BLOCKS, RANGE_VALUES
        head = ['layout', 'block values', '%d values from the middle, ns' % RANGE_VALUES,
                'frame of %d blocks, ns' % RANGE_BLOCKS, 'ratio']
        return head, [[label, str(per_block), '%.0f' % rng, '%.0f' % whole, '%.2f' % (rng / whole)]
                      for label, per_block, rng, whole in self.ranges]

    def sections(self):
        """[(heading level, title, note, (head, rows))]."""
        out = [(2, 'Columns', 'Made by bench/pybench/columns.py and machine_columns.py (seeded; '
                'real columns read off this machine in sorted walk order).', self.column_table())]
        out.append((2, 'Sizes and times', 'Bytes per value, ratio to the raw 8 bytes, and ns per '
                    'value, one thread; bpeEncodeArray only where no value is negative (it keeps '
                    'only their low bits).', ([], [])))
        for col, rows in self.results:
            schemes = getattr(col, 'schemes', '')
            out.append((3, '%s (%d values)' % (col.name, len(col.values)),
                        '%s blocks by scheme: %s.' % (self.blocked.label, schemes) if schemes else '',
                        self.codec_table(col, rows)))
        out.append((2, 'Targets', self.targets_note() + ' Blosc at clevel %d on one thread.'
                    % BLOSC_CLEVEL, self.targets_table()))
        from .suite import ZARR_CHUNK, ZARR_N
        out.append((2, 'zarr 2', 'Total stored bytes (chunks and metadata) of each column\'s first '
                    'min(length, %d) values, chunks of %d, fill value 0.' % (ZARR_N, ZARR_CHUNK)
                    if self.zarr_ok else 'Skipped: needs zarr 2 (python3-zarr).',
                    self.zarr_table()))
        out.append((2, 'Range decode', 'frameDecode(frame, start, stop) of 1000 values from the '
                    'middle of the long column, against decoding a whole frame of its three '
                    'blocks around them.' if self.ranges else
                    'Not measured: no frameDecode range or blocked layout in this build.',
                    self.range_table()))
        return out

    def show(self, out_dir):
        print()
        print('Column suite. ' + self.context)
        for _, title, note, (head, rows) in self.sections():
            print()
            print('%s. %s' % (title, note) if note else title)
            if rows:
                print(text_table(head, rows))
        if not out_dir:
            return
        if not os.path.isdir(out_dir):
            os.makedirs(out_dir)
        path = os.path.join(out_dir, 'columns_bench.md')
        text = ['# Frames on made and real columns, against Blosc', '',
                'Written by `make bench-python` (`bench/pybench/suite.py`), %s UTC. Figures '
                'only: the targets are shown met or missed, never asserted.' %
                time.strftime('%Y-%m-%d %H:%M', time.gmtime()), '', self.context + '.']
        for level, title, note, (head, rows) in self.sections():
            text += ['', '#' * level + ' ' + title, '']
            if note:
                text += [note, '']
            if rows:
                text.append(md_table(head, rows))
        with open(path, 'w') as f:
            f.write('\n'.join(text) + '\n')
        sys.stderr.write('python_bench: wrote %s\n' % path)
