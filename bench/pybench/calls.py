# -*- coding: utf-8 -*-
"""Small calls: a few values per call, where the cost is the call itself.
Each of ours beside the standard-library call a user would make for the
same bytes, timed in alternating timeit loops so that both see the same
machine; the median of many loops is the figure, the best is shown too."""
from __future__ import absolute_import, division, print_function

import array
import platform
import struct
import sys

from .common import QCODE, range
from .timing import cpu_timer

# (our call, its peer, largest ratio of medians aimed at)
PAIRS = [
    ("bpeDecode(b'\\x00\\x53', 3)", "struct.unpack('>2B', b'\\x00\\x53')", 2.0),
    ('bpeEncode([1, 2, 3])', "struct.pack('>3q', 1, 2, 3)", 1.5),
]
# For scale, against the encoder's peer.
EXTRA = [("array.array('%s', [1, 2, 3])" % QCODE, "struct.pack('>3q', 1, 2, 3)")]


def compile_loop(stmt, ns):
    """A plain loop of the statement, like python -m timeit: no call per run."""
    src = ('def _loop(_n, _timer):\n'
           '    _t0 = _timer()\n'
           '    for _i in _range(_n):\n'
           '        %s\n'
           '    return _timer() - _t0\n') % stmt
    env = dict(ns)
    env['_range'] = range
    exec(src, env)
    loop = env['_loop']
    return lambda n: loop(n, cpu_timer)


def median(xs):
    s = sorted(xs)
    k = len(s) // 2
    return s[k] if len(s) % 2 else (s[k - 1] + s[k]) / 2


def measure(mod, quick):
    """{stmt: (median, best)} in seconds per call, and the loop's size."""
    ns = {'bpeEncode': mod.bpeEncode, 'bpeDecode': mod.bpeDecode, 'struct': struct,
          'array': array}
    stmts = []
    for ours, peer, _ in PAIRS:
        stmts += [ours, peer]
    for ours, _ in EXTRA:
        stmts.append(ours)
    stmts = sorted(set(stmts), key=stmts.index)
    loops = dict((s, compile_loop(s, ns)) for s in stmts)
    for s in stmts:  # warm up, and fail early if a statement does not run
        loops[s](1000)
    min_loop = 0.02 if quick else 0.05
    repeats = 7 if quick else 31
    number = 1000
    while min(loops[s](number) for s in stmts) < min_loop:
        number *= 2
    times = dict((s, []) for s in stmts)
    for _ in range(repeats):
        for s in stmts:
            times[s].append(loops[s](number) / number)
    return {'per_call': dict((s, (median(t), min(t))) for s, t in times.items()),
            'number': number, 'repeats': repeats, 'order': stmts}


def interpreter():
    return '%s %s (%s)' % (platform.python_implementation(), platform.python_version(),
                           sys.executable)


def rows(c):
    """Table rows: call, median ns, best ns, peer, ratio of medians, target."""
    pc = c['per_call']
    out = []
    for ours, peer, limit in PAIRS:
        r = pc[ours][0] / pc[peer][0]
        out.append(['`%s`' % ours, '%.0f' % (pc[ours][0] * 1e9), '%.0f' % (pc[ours][1] * 1e9),
                    '`%s`: %.0f' % (peer, pc[peer][0] * 1e9), '%.2f×' % r,
                    '≤ %.1f× — %s' % (limit, 'met' if r <= limit else 'MISSED')])
    for ours, peer in EXTRA:
        r = pc[ours][0] / pc[peer][0]
        out.append(['`%s`' % ours, '%.0f' % (pc[ours][0] * 1e9), '%.0f' % (pc[ours][1] * 1e9),
                    '`%s`: %.0f' % (peer, pc[peer][0] * 1e9), '%.2f×' % r, 'for scale'])
    return ['call', 'ns (median)', 'ns (best)', 'peer: ns (median)', 'ratio of medians',
            'target'], out


def targets(c):
    pc = c['per_call']
    out = []
    for ours, peer, limit in PAIRS:
        r = pc[ours][0] / pc[peer][0]
        out.append('- %s ≤ %.1f× %s: %.0f ns vs %.0f ns = %.2f× — %s' % (
            ours, limit, peer, pc[ours][0] * 1e9, pc[peer][0] * 1e9, r,
            'met' if r <= limit else 'MISSED'))
    return out


def note(c):
    return ('Interpreter: %s. Each call is a statement in a plain loop of %d runs (as '
            '`python -m timeit` compiles it); the loops of all calls alternate, %d times each, '
            'in process CPU time; ns per call is the median of those loops, and the best is '
            'beside it.' % (interpreter(), c['number'], c['repeats']))
