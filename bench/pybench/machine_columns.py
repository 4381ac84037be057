"""Real integer columns nobody wrote for the benchmark, read off this
machine at run time. Every walk goes in sorted order, so a machine with the
same files gives the same columns; a source the machine lacks is left out
with a note. Sources:

- /usr, os.walk without following links, every entry but directories:
  lstat size, st_mtime_ns and st_ino, in walk order, and mtimes and inodes
  sorted too (a time-ordered log, an index of ids);
- /var/lib/dpkg/status: Installed-Size (KiB) of each installed package;
- /var/lib/apt/lists/*_Packages*, through apt-helper cat-file: Size and
  Installed-Size of each package in the lists (present after apt-get update);
- /usr/share/zoneinfo (tzdata), without posix/ and right/: the 64-bit
  transition times (s) of every zone file;
- /usr/share/i18n/charmaps/UTF-8.gz (locales): the code points of glibc's
  UTF-8 character map, ranges expanded;
- numpy/random/tests/data/*-testset-*.csv (python3-numpy): the 64-bit
  outputs of numpy's bit generators recorded for its tests;
- /usr/share/fonts/**/*.ttf|otf: the advance widths of every glyph (hmtx).
"""
from __future__ import absolute_import, division, print_function

import glob
import gzip
import os
import re
import stat
import struct
import subprocess
import sys

import numpy as np


def sorted_walk(top, skip=()):
    """(path, lstat) of every non-directory under top, in sorted order."""
    for root, dirs, files in os.walk(top, onerror=lambda e: None):
        dirs[:] = sorted(d for d in dirs if os.path.join(root, d) not in skip)
        for name in sorted(files):
            path = os.path.join(root, name)
            try:
                yield path, os.lstat(path)
            except OSError:
                pass


def usr_columns(limit):
    sizes, mtimes, inodes = [], [], []
    for _, st in sorted_walk('/usr'):
        sizes.append(st.st_size)
        mtimes.append(st.st_mtime_ns)
        inodes.append(st.st_ino)
        if limit and len(sizes) >= limit:
            break
    src = 'lstat of every non-directory under /usr, sorted walk order'
    return [('/usr file sizes', sizes, src),
            ('/usr mtimes (ns)', mtimes, src),
            ('/usr mtimes (ns), sorted', sorted(mtimes), 'the mtimes above, sorted'),
            ('/usr inode numbers', inodes, src),
            ('/usr inode numbers, sorted', sorted(inodes), 'the inode numbers above, sorted')]


def field_values(text, field):
    return [int(m) for m in re.findall(r'^%s: *(\d+)' % field, text, re.M)]


def dpkg_columns(limit):
    with open('/var/lib/dpkg/status') as f:
        sizes = field_values(f.read(), 'Installed-Size')
    return [('dpkg installed sizes (KiB)', sizes, 'Installed-Size, /var/lib/dpkg/status')]


def apt_columns(limit):
    texts = []
    for path in sorted(glob.glob('/var/lib/apt/lists/*_Packages*')):
        out = subprocess.check_output(['/usr/lib/apt/apt-helper', 'cat-file', path])
        texts.append(out.decode('utf-8', 'replace'))
    text = '\n'.join(texts)
    src = ' of each package in /var/lib/apt/lists/*_Packages* (%d lists)' % len(texts)
    return [('apt package sizes', field_values(text, 'Size'), 'Size' + src),
            ('apt installed sizes (KiB)', field_values(text, 'Installed-Size'),
             'Installed-Size' + src)]


def tzif_transitions(data):
    """The 64-bit transition times of a TZif file (version 2 on), else []."""
    if data[:4] != b'TZif' or data[4:5] < b'2':
        return []
    isut, isstd, leap, times, types, chars = struct.unpack('>6l', data[20:44])
    at = 44 + times * 5 + types * 6 + chars + leap * 8 + isstd + isut
    times = struct.unpack('>6l', data[at + 20:at + 44])[3]
    return list(struct.unpack('>%dq' % times, data[at + 44:at + 44 + 8 * times]))


def zoneinfo_columns(limit):
    top = '/usr/share/zoneinfo'
    out = []
    for path, st in sorted_walk(top, skip=(top + '/posix', top + '/right')):
        if stat.S_ISREG(st.st_mode):
            with open(path, 'rb') as f:
                out.extend(tzif_transitions(f.read()))
    return [('zoneinfo transition times (s)', out,
             'every TZif file under %s but posix/, right/, sorted walk order' % top)]


def charmap_columns(limit, path='/usr/share/i18n/charmaps/UTF-8.gz'):
    points = []
    with gzip.open(path, 'rt') as f:
        for line in f:
            m = re.match(r'<U([0-9A-F]+)>(?:\.\.<U([0-9A-F]+)>)?\s', line)
            if m:
                lo = int(m.group(1), 16)
                points.extend(range(lo, int(m.group(2) or m.group(1), 16) + 1))
    return [('UTF-8 charmap code points', points, 'code points in ' + path)]


def numpy_columns(limit):
    data = os.path.join(os.path.dirname(np.__file__), 'random', 'tests', 'data')
    values = []
    for path in sorted(glob.glob(os.path.join(data, '*-testset-*.csv'))):
        with open(path) as f:
            for line in f:
                if not line.startswith('seed'):
                    values.append(int(line.split(',')[1], 0))
    return [('numpy generator test outputs',
             np.array(values, dtype=np.uint64).view(np.int64),
             '64-bit outputs in %s/*-testset-*.csv' % data)]


def advance_widths(data):
    """The hmtx advance widths of an sfnt font (not a collection), else []."""
    tables = {}
    for i in range(struct.unpack('>H', data[4:6])[0]):
        tag, _, off, length = struct.unpack('>4sLLL', data[12 + 16 * i:28 + 16 * i])
        tables[tag] = off
    if b'hhea' not in tables or b'hmtx' not in tables:
        return []
    count = struct.unpack('>H', data[tables[b'hhea'] + 34:tables[b'hhea'] + 36])[0]
    # (advance width, left side bearing) pairs; only the widths are kept
    return np.frombuffer(data, '>u2', 2 * count, tables[b'hmtx'])[::2].tolist()


def font_columns(limit):
    widths, fonts = [], 0
    for path, st in sorted_walk('/usr/share/fonts'):
        if stat.S_ISREG(st.st_mode) and path.lower().endswith(('.ttf', '.otf')):
            with open(path, 'rb') as f:
                got = advance_widths(f.read())
            fonts += bool(got)
            widths.extend(got)
    return [('font advance widths', widths,
             'hmtx of %d fonts under /usr/share/fonts, sorted walk order' % fonts)]


SOURCES = [usr_columns, dpkg_columns, apt_columns, zoneinfo_columns, charmap_columns,
           numpy_columns, font_columns]


def columns(limit=None):
    """[(name, int64 array, source)], each at most limit values long."""
    out = []
    for source in SOURCES:
        try:
            got = source(limit)
        except (IOError, OSError, subprocess.CalledProcessError) as e:
            sys.stderr.write('columns: %s left out (%s)\n' % (source.__name__, e))
            continue
        for name, values, src in got:
            values = np.asarray(values, dtype=np.int64)[:limit]
            if len(values):
                out.append((name, values, src))
            else:
                sys.stderr.write('columns: %s left out (no values on this machine)\n' % name)
    return out
