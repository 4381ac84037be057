# -*- coding: utf-8 -*-
"""The SVG bar chart of the report."""
from __future__ import absolute_import, division, print_function

from .report import fastest_numpy, fmt_ns

def svg_escape(s):
    return s.replace('&', '&amp;').replace('<', '&lt;').replace('>', '&gt;').replace("'", '&#39;')


def write_svg(path, r, nref):
    res = r['results']
    numpy_name, _ = fastest_numpy(res, nref)
    encoders = ['bpeEncode', 'neEncode', "array('q', lst)", 'struct.pack']
    if numpy_name:
        encoders.append(numpy_name)
    small = r['calls']
    panels = [
        ('List → bytes, N=10^%d (ns per value)' % len(str(nref)[1:]),
         [(n, res.get((n, nref))) for n in encoders]),
        ('Bytes → list, N=10^%d (ns per value)' % len(str(nref)[1:]),
         [(n, res.get((n, nref))) for n in ('bpeDecode', 'neDecode', 'array.tolist',
                                            'struct.unpack')]),
        ('Small calls (ns per call, median)',
         [(k, small['per_call'][k][0] * 1e9) for k in small['order']]),
    ]
    width, label_w, bar_w, row_h, gap = 760, 270, 400, 24, 40
    y = 50
    parts = []
    for title, bars in panels:
        bars = [(n, v) for n, v in bars if v is not None]
        parts.append('<text x="10" y="%d" class="title">%s</text>' % (y, svg_escape(title)))
        y += 12
        top = max(v for _, v in bars) if bars else 1
        for name, v in bars:
            ours = name.startswith(('bpe', 'ne'))
            length = max(1.0, bar_w * v / top)
            parts.append('<text x="%d" y="%d" class="label">%s</text>' % (
                label_w - 8, y + 16, svg_escape(name)))
            parts.append('<rect x="%d" y="%d" width="%.1f" height="%d" class="%s"/>' % (
                label_w, y + 3, length, row_h - 6, 'ours' if ours else 'peer'))
            parts.append('<text x="%.1f" y="%d" class="value">%s</text>' % (
                label_w + length + 6, y + 16, fmt_ns(v)))
            y += row_h
        y += gap
    height = y
    svg = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
           'viewBox="0 0 %d %d" font-family="DejaVu Sans, Arial, sans-serif">' % (
               width, height, width, height),
           '<style>.title{font-size:15px;font-weight:bold;fill:#222}'
           '.label{font-size:13px;fill:#222;text-anchor:end}'
           '.value{font-size:12px;fill:#444}'
           '.ours{fill:#2b6cb0}.peer{fill:#a0aec0}</style>',
           '<rect width="100%" height="100%" fill="#fff"/>',
           '<text x="10" y="24" font-size="17" fill="#111">pyvaskor (blue) against '
           'Python peers (grey): lower is faster</text>']
    svg += parts
    svg.append('</svg>')
    with open(path, 'w') as f:
        f.write('\n'.join(svg) + '\n')
