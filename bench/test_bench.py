"""The parts of the column benchmarks whose faults would go unseen in a
smoke run: the readers of the machine's binary and text sources, the
column files, and the target verdicts.

    cd bench && python3 -m unittest test_bench
"""
import gzip
import os
import shutil
import struct
import tempfile
import unittest

import numpy as np

from pybench import columns, machine_columns, suite, suite_codecs, suite_report, vocabulary
from pybench.suite_codecs import PEER, Codec, Row
from pybench.timing import Timer
from pybench.vocabulary import Variant


class FakeFrames(object):
    """frameEncode/Info/Decode over two made-up layouts: 'old' (version 1,
    transforms 'a' and 'b', default 'a') and 'new' (version 2, 'c' alone,
    in blocks of 4); a frame is the layout, transform and values. wrong
    shifts every decoded value."""
    takes = {'old': ('a', 'b'), 'new': ('c',)}

    def __init__(self, wrong=0):
        self.wrong = wrong

    def frameEncode(self, a, layout, transform=None):
        if layout not in self.takes or transform not in self.takes[layout] + (None,):
            raise ValueError(layout)
        return (layout, transform or self.takes[layout][0], np.array(a))

    def frameInfo(self, f):
        info = {'layout': f[0], 'transform': f[1], 'version': 2 if f[0] == 'new' else 1}
        if f[0] == 'new':
            info['blocks'] = -(-len(f[2]) // 4)
        return info

    def frameDecode(self, f, out, start=0, stop=None):
        out[:] = f[2][start:stop] + self.wrong


class Sources(unittest.TestCase):
    def test_tzif_reads_the_64_bit_block_past_the_32_bit_one(self):
        def block(times, fmt):
            # isut, isstd, leap, times, types, chars; one type, 4 chars
            head = struct.pack('>6l', 0, 0, 0, len(times), 1, 4)
            body = struct.pack('>%d%s' % (len(times), fmt), *times) + b'\0' * len(times)
            return b'TZif2' + b'\0' * 15 + head + body + b'\0' * 6 + b'UTC\0'
        v1 = block([-2 ** 31, 7], 'l')
        want = [-2 ** 40, -1, 2 ** 35]
        self.assertEqual(machine_columns.tzif_transitions(v1 + block(want, 'q')), want)
        self.assertEqual(machine_columns.tzif_transitions(b'TZif\0' + v1[5:]), [])

    def test_advance_widths_of_an_sfnt_font(self):
        hhea = b'\0' * 34 + struct.pack('>H', 3)
        # three (width, bearing) pairs, then a bearing alone, not a width
        hmtx = struct.pack('>HhHhHh', 500, -3, 0, 7, 65535, 2) + struct.pack('>h', 9)
        tables = [(b'hhea', hhea), (b'hmtx', hmtx)]
        data = struct.pack('>4sH6x', b'\0\1\0\0', len(tables))
        at = len(data) + 16 * len(tables)
        records, body = b'', b''
        for tag, table in tables:
            records += struct.pack('>4sLLL', tag, 0, at + len(body), len(table))
            body += table
        self.assertEqual(machine_columns.advance_widths(data + records + body), [500, 0, 65535])
        self.assertEqual(machine_columns.advance_widths(data[:4] + b'\0\0' + data[6:]), [])

    def test_text_fields_and_charmap_ranges(self):
        text = 'Package: a\nInstalled-Size: 12\nSize: 5\n\nPackage: b\nSize: 70\n'
        self.assertEqual(machine_columns.field_values(text, 'Size'), [5, 70])
        self.assertEqual(machine_columns.field_values(text, 'Installed-Size'), [12])
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        path = os.path.join(folder, 'map.gz')
        with gzip.open(path, 'wt') as f:
            f.write('CHARMAP\n<U0041>     /x41   LATIN CAPITAL LETTER A\n'
                    '<U3400>..<U3402> /xe3/x90/x80 <CJK Ideograph>\nEND CHARMAP\n')
        got = machine_columns.charmap_columns(None, path)[0][1]
        self.assertEqual(got, [0x41, 0x3400, 0x3401, 0x3402])

    def test_column_files_round_trip(self):
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        made = [columns.Column('a b', [np.iinfo(np.int64).min, -1, 2 ** 62], 'x', ('one_width',)),
                columns.Column('c', [], 'y, z')]
        columns.write(folder, made)
        back = columns.read(folder)
        self.assertEqual([(c.name, c.source, c.flags, c.values.tolist()) for c in back],
                         [(c.name, c.source, c.flags, c.values.tolist()) for c in made])
        with open(os.path.join(folder, '00.bin'), 'ab') as f:
            f.write(b'\0' * 8)
        self.assertRaises(SystemExit, columns.read, folder)


class Suite(unittest.TestCase):
    def test_variants_are_the_pairs_the_module_takes(self):
        names = {'vaskor_layout_name': ['old', 'new', 'gone'],
                 'vaskor_transform_name': ['a', 'b', 'c']}
        real_lib, real_names = vocabulary.c_library, vocabulary.names
        vocabulary.c_library, vocabulary.names = lambda d: None, lambda lib, fn: names[fn]
        try:
            got = vocabulary.variants(FakeFrames(), None)
        finally:
            vocabulary.c_library, vocabulary.names = real_lib, real_names
        self.assertEqual([(v.label, v.version, v.default) for v in got],
                         [('old/a', 1, True), ('old/b', 1, False), ('new/c', 2, True)])
        self.assertEqual(suite.blocked_variant(got).label, 'new/c')

    def test_range_rows_check_what_they_time(self):
        variants = [Variant('old', 'a', 1, True), Variant('new', 'c', 2, True)]
        col = columns.Column('r', np.arange(5000) * 3, 's', ('range',))
        rows = suite.range_rows(FakeFrames(), variants, Timer(True, 1e-4, 1), col)
        self.assertEqual([(r[0], r[1]) for r in rows], [('old/a', 4), ('new/c', 4)])
        self.assertRaises(SystemExit, suite.range_rows, FakeFrames(wrong=1), variants,
                          Timer(True, 1e-4, 1), col)

    def test_a_codec_that_leaves_out_untouched_is_caught(self):
        keep = Codec('keep', 'other', lambda a: a.copy(), lambda p, o: None)
        a = np.arange(100)
        self.assertRaises(SystemExit, suite_codecs.measure, [keep], Timer(True, 1e-4, 1), a)
        copy = Codec('copy', 'other', lambda a: a.copy(), lambda p, o: o.__setitem__(Ellipsis, p))
        self.assertEqual(suite_codecs.measure([copy], Timer(True, 1e-4, 1), a)[0].size, 800)


class Targets(unittest.TestCase):
    """target_row's cells: [3] size against Blosc, [5] within 1% of the
    best version-1 frame, [8] both speeds at 5x the peer's."""
    old, new = Variant('old', 't', 1, True), Variant('new', 'u', 2, True)

    def rows(self, new_size, new_dec, codec=True):
        def row(name, group, size, enc=1.0, dec=1.0, variant=None):
            return Row(Codec(name, group, None, None, variant=variant), size, enc, dec)
        out = [row('frame old', 'frame', 1000, variant=self.old),
               row('frame new', 'frame', new_size, 9.0, 9.0, variant=self.new),
               row('blosc a', 'blosc', 1000), row(PEER, 'blosc', 1200, 10.0, 5.0)]
        if codec:
            out.append(row('codec new', 'codec', new_size, 2.0, new_dec, variant=self.new))
        return out

    def target(self, rows, flags=('one_width',), variants=None):
        report = suite_report.Report(variants or [self.old, self.new], [], [], [], True,
                                     (0, 0, 0), (0, 0, 0), False)
        col = columns.Column('c', np.zeros(1000, np.int64), 's', flags)
        row = report.target_row(col, rows)
        return row[3], row[5].split()[-1], row[8]

    def test_verdicts_at_their_limits(self):
        self.assertEqual(self.target(self.rows(1000, 1.0)), ('met', 'met', 'met'))
        self.assertEqual(self.target(self.rows(1010, 1.0)), ('MISSED', 'met', 'met'))
        self.assertEqual(self.target(self.rows(1011, 1.01)), ('MISSED', 'MISSED', 'MISSED'))
        self.assertEqual(self.target(self.rows(900, 1.0), flags=()), ('met', '–', 'met'))

    def test_times_fall_back_to_the_frame_and_absent_layouts_show_dashes(self):
        self.assertEqual(self.target(self.rows(1000, 1.0, codec=False))[2], 'MISSED')
        rows = [r for r in self.rows(1000, 1.0) if r.codec.variant is not self.new]
        self.assertEqual(self.target(rows, variants=[self.old]), ('–', '–', '–'))


if __name__ == '__main__':
    unittest.main()
