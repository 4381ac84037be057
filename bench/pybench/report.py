# -*- coding: utf-8 -*-
"""The report: the table with the ratios to the peers, the target verdicts,
and their text and Markdown forms."""
from __future__ import absolute_import, division, print_function

import os
import platform
import sys
import time

from . import calls, magnitudes
from .common import MEM_N, TARGET_N, VALUE_BITS, code_path, np

ENCODE_ROWS = ['bpeEncode', 'neEncode', "array('q', lst)", 'struct.pack',
               'numpy unpackbits', 'numpy words',
               'pure-Python bpe encode', 'pure-Python ne encode']
NUMPY_ROWS = ['numpy unpackbits', 'numpy words']
DECODE_ROWS = ['bpeDecode', 'neDecode', 'array.tolist', 'struct.unpack',
               'pure-Python bpe decode', 'pure-Python ne decode']
# Each of our rows against its peers at N = 10^6. 'numpy bit packing' is
# whichever of the numpy packings was faster in this run, shown by its name.
PEERS = {
    'bpeEncode': ["array('q', lst)", 'numpy bit packing'],
    'neEncode': ["array('q', lst)", 'struct.pack', 'numpy bit packing'],
    'bpeDecode': ['array.tolist', 'struct.unpack'],
    'neDecode': ['array.tolist', 'struct.unpack'],
}


def fmt_ns(x):
    if x is None:
        return '–'
    if x >= 1000:
        return '%.0f' % x
    if x >= 100:
        return '%.1f' % x
    return '%.2f' % x


def fastest_numpy(res, n):
    """(row name, ns per value) of the faster numpy packing at n, or (None, None)."""
    found = [(res[(name, n)], name) for name in NUMPY_ROWS if res.get((name, n))]
    if not found:
        return None, None
    v, name = min(found)
    return name, v


def peer_value(res, peer, n):
    """(shown as, ns per value) of a peer at n."""
    if peer == 'numpy bit packing':
        name, v = fastest_numpy(res, n)
        return name, v
    return peer, res.get((peer, n))


def build_report(r):
    res, ns_list = r['results'], r['ns_list']
    nref = TARGET_N if TARGET_N in ns_list else ns_list[-1]
    head = ['ns per value'] + ['N=10^%d' % len(str(n)[1:]) for n in ns_list] + \
        ['ratio at N=10^%d' % len(str(nref)[1:])]
    rows = []
    for group in (ENCODE_ROWS, DECODE_ROWS):
        for name in group:
            vals = [res.get((name, n)) for n in ns_list]
            if all(v is None for v in vals):
                continue
            ratio = ''
            mine = res.get((name, nref))
            if name in PEERS and mine:
                parts = []
                for p in PEERS[name]:
                    shown, pv = peer_value(res, p, nref)
                    if pv:
                        parts.append('%.2f× %s' % (mine / pv, shown))
                ratio = '; '.join(parts)
            rows.append([name] + [fmt_ns(v) for v in vals] + [ratio])

    def get(name):
        return res.get((name, nref))

    targets = []

    def target(text, value, limit, shown, le=True):
        if value is None:
            targets.append('- %s: not measured (peer missing) — n/a' % text)
            return
        ok = value <= limit if le else value >= limit
        targets.append('- %s: %s — %s' % (text, shown, 'met' if ok else 'MISSED'))

    a = get("array('q', lst)")
    sp = get('struct.pack')
    tl = get('array.tolist')
    npk_name, npk = fastest_numpy(res, nref)
    for f in ('bpeEncode', 'neEncode'):
        v = get(f)
        target("%s ≤ 1.2× array('q', lst)" % f, v / a, 1.2,
               '%.2f ns vs %.2f ns = %.2f×' % (v, a, v / a))
    v = get('neEncode')
    target('neEncode ≤ 0.6× struct.pack', v / sp, 0.6,
           '%.2f ns vs %.2f ns = %.2f×' % (v, sp, v / sp))
    for f in ('bpeEncode', 'neEncode'):
        v = get(f)
        if npk:
            target('%s ≥ 3× faster than numpy bit packing (the faster: %s)' % (f, npk_name),
                   npk / v, 3.0, '%.2f ns vs %.2f ns = %.2f× faster' % (v, npk, npk / v), le=False)
        else:
            target('%s ≥ 3× faster than numpy bit packing' % f, None, 0, '')
    for f in ('bpeDecode', 'neDecode'):
        v = get(f)
        target('%s ≤ 1.1× array.tolist()' % f, v / tl, 1.1,
               '%.2f ns vs %.2f ns = %.2f×' % (v, tl, v / tl))
    targets += magnitudes.targets(r['magnitudes'])
    targets += calls.targets(r['calls'])
    for op, label in (('encode', 'bpeEncode'), ('ne_encode', 'neEncode'),
                      ('decode', 'bpeDecode'), ('ne_decode', 'neDecode')):
        m = r['mem'][op]
        target('%s peak extra memory ≤ 8 bytes per value beyond input and output' % label,
               m['per_value'], 8.0, '%.2f bytes per value' % m['per_value'])
    return head, rows, targets, nref


def text_table(head, rows):
    wd = [len(h) for h in head]
    for row in rows:
        for i, c in enumerate(row):
            wd[i] = max(wd[i], len(c))
    lines = []
    for row in [head] + rows:
        cells = []
        for i, c in enumerate(row):
            if i == 0 or i == len(row) - 1:
                cells.append(c.ljust(wd[i]))
            else:
                cells.append(c.rjust(wd[i]))
        lines.append('  '.join(cells).rstrip())
    return '\n'.join(lines)


def md_table(head, rows):
    out = ['| ' + ' | '.join(head) + ' |',
           '| --- |' + ' ---: |' * (len(head) - 2) + ' --- |']
    for row in rows:
        out.append('| ' + ' | '.join(c if c else ' ' for c in row) + ' |')
    return '\n'.join(out)


def context_lines(r, quick):
    lines = [
        'Python %s (%s), %s' % (platform.python_version(), sys.executable,
                                'numpy %s' % np.__version__ if np is not None else 'no numpy'),
        'Machine: %s, %d CPUs; code path: %s; load average before %s, after %s' % (
            cpu_model(), os.sysconf('SC_NPROCESSORS_ONLN'), code_path(),
            ' '.join('%.2f' % x for x in r['load'][0]),
            ' '.join('%.2f' % x for x in r['load'][1])),
        'Data: random integers below 2^%d (bit width %d, %d bytes per value); '
        'times are process CPU time, the best of repeated runs%s.' % (
            VALUE_BITS, r['width'][0], r['width'][1], ', quick mode' if quick else ''),
    ]
    return lines


def cpu_model():
    try:
        with open('/proc/cpuinfo') as f:
            for line in f:
                if line.startswith('model name'):
                    return line.split(':', 1)[1].strip()
    except (IOError, OSError):
        pass
    return platform.machine()


def mem_lines(r):
    out = []
    names = {'encode': 'bpeEncode', 'ne_encode': 'neEncode', 'decode': 'bpeDecode',
             'ne_decode': 'neDecode'}
    for op in ('encode', 'ne_encode', 'decode', 'ne_decode'):
        m = r['mem'][op]
        out.append('| %s | %.1f | %.1f | %.1f | %.1f | %.2f |' % (
            names[op], m['in_size'] / 2 ** 20, m['out_size'] / 2 ** 20,
            (m['peak'] - m['base']) / 2 ** 20, m['extra'] / 2 ** 20, m['per_value']))
    return out


def write_markdown(path, r, head, rows, targets, quick):
    mem_n = MEM_N if not quick else 10 ** 6
    lines = ['# Python benchmark', '',
             'Written by `make bench-python` (`bench/python_bench.py`), %s UTC.' %
             time.strftime('%Y-%m-%d %H:%M', time.gmtime()), '']
    lines += [l + '  ' for l in context_lines(r, quick)]
    lines += ['', '![ns per value and per call](python_bench.svg)', '',
              '## Cost per value (ns), with ratios to the peers', '',
              md_table(head, rows), '',
              'The numpy rows are two packings of the list into the same bit layout (both checked '
              'to give bpeEncode\'s bytes): "unpackbits" spreads each value into bit bytes and '
              'packs them; "words" shifts each field into 64-bit words. The ratios and targets '
              'take the faster of the two at that N, named. Pure-Python rows (only up to N=10^5) '
              'are for scale. The array functions on numpy columns, and threads: '
              '[arrays_bench.md](arrays_bench.md).', '',
              '## List encoders by magnitude, N=10^%d (ns per value)' % len(str(TARGET_N)[1:]), '',
              md_table(*magnitudes.rows(r['magnitudes'])), '',
              'Random values of exactly that many bits; `max(lst)` over the '
              'same list is the floor.', '',
              '## Small calls (ns per call)', '',
              calls.note(r['calls']), '',
              md_table(*calls.rows(r['calls'])), '']
    lines += ['## Peak memory, N=%d, in a child process (MiB)' % mem_n, '',
              'Peak rise = growth of the peak resident size during the call (the process\'s own '
              'high-water mark, VmHWM: the counter behind ru_maxrss, which after fork and exec also '
              'carries the parent\'s size); extra = peak rise minus the size of the output (ints at '
              'their 16-byte allocation size, small cached ints not counted).', '',
              '| call | input | output | peak rise | extra | extra bytes per value |',
              '| --- | ---: | ---: | ---: | ---: | ---: |']
    lines += mem_lines(r)
    lines += ['', '## Targets (N=10^6)', ''] + targets + ['']
    with open(path, 'w') as f:
        f.write('\n'.join(lines))
