# -*- coding: utf-8 -*-
"""The list encoders across value magnitudes, each beside max(lst) over the
same list in the same run: max also touches every int and reads its digits,
so it is the floor of anything that reads a list of ints. CPython keeps 30
bits per digit: 7 and 30 bits are one digit, 31 and 40 two, 62 and 63 three."""
from __future__ import absolute_import, division, print_function

import random

from .common import range

MAGNITUDE_BITS = (7, 30, 31, 40, 62, 63)
FUNCTIONS = ('bpeEncode', 'neEncode')
LIMIT = 1.2  # each encoder against max(lst)


def values_of(bits, n, seed=19):
    """n random values of exactly `bits` bits."""
    rnd = random.Random(seed)
    low = 1 << (bits - 1)
    return [low + rnd.getrandbits(bits - 1) for _ in range(n)]


def measure(mod, timer, n):
    """{bits: {name: ns per value}} for max(lst) and both encoders."""
    out = {}
    for bits in MAGNITUDE_BITS:
        lst = values_of(bits, n)
        packed, width = mod.neEncode(lst)
        if mod.neDecode(packed, width) != lst:
            raise SystemExit('python_bench: neEncode loses %d-bit values' % bits)
        row = {'max(lst)': timer.per_call(max, (lst,)) * 1e9 / n}
        for name in FUNCTIONS:
            row[name] = timer.per_call(getattr(mod, name), (lst,)) * 1e9 / n
        out[bits] = row
    return out


def rows(m):
    head = ['bits', 'max(lst)'] + ['%s (× max)' % f for f in FUNCTIONS]
    body = []
    for bits in sorted(m):
        row = m[bits]
        floor = row['max(lst)']
        body.append(['%d' % bits, '%.2f' % floor] +
                    ['%.2f (%.2f×)' % (row[f], row[f] / floor) for f in FUNCTIONS])
    return head, body


def targets(m):
    out = []
    for f in FUNCTIONS:
        ratios = [(m[b][f] / m[b]['max(lst)'], b) for b in sorted(m)]
        worst, at = max(ratios)
        out.append('- %s ≤ %.1f× max(lst) at every magnitude (%s bits): worst %.2f× at %d bits — %s' % (
            f, LIMIT, ', '.join('%d' % b for b in sorted(m)), worst, at,
            'met' if worst <= LIMIT else 'MISSED'))
    return out
