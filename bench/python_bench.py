#!/usr/bin/env python
# -*- coding: utf-8 -*-
"""pyvaskor from Python, against what a Python user would reach for instead.

    python bench/python_bench.py [--module-dir DIR] [--out DIR] [--quick]

Standard library only; runs on Python 2.7 and every Python 3. numpy is used
for the bit-level peer when it is installed. Prints one table with the ratios
to the peers and writes it as Markdown plus an SVG bar chart into --out.
Figures only: nothing here passes or fails on time.
"""
from __future__ import division, print_function

import array
import binascii
import os
import platform
import random
import struct
import subprocess
import sys
import time

PY2 = sys.version_info[0] == 2
if PY2:
    range = xrange  # noqa: F821  (lazy range on both)

# 'q' came with Python 3.3; on 64-bit Linux Python 2 the 8-byte code is 'l'.
try:
    array.array('q')
    QCODE = 'q'
except ValueError:
    QCODE = 'l'


def array_to_bytes(a):
    return a.tostring() if PY2 else a.tobytes()


def array_from_bytes(code, b):
    a = array.array(code)
    if PY2:
        a.fromstring(b)
    else:
        a.frombytes(b)
    return a


try:
    import numpy as np
except ImportError:
    np = None

NS = [10 ** 3, 10 ** 5, 10 ** 6, 10 ** 7]
PURE_MAX_N = 10 ** 5  # pure-Python peers only up to here: they are for scale
TARGET_N = 10 ** 6
MEM_N = 10 ** 7
# Values below 2^30: one digit of a CPython int, and a bit width (31) that is
# not byte-aligned, so the bit-level peer has real work to do.
VALUE_BITS = 30


def load_module(module_dir):
    if module_dir:
        sys.path.insert(0, os.path.abspath(module_dir))
    import pyvaskor
    return pyvaskor


def make_values(n, seed=7):
    rnd = random.Random(seed)
    top = (1 << VALUE_BITS) - 1
    lst = [rnd.getrandbits(VALUE_BITS) for _ in range(n)]
    if n:
        lst[n // 2] = top  # the largest value fixes the width: 31 bits, 4 bytes
    return lst


# ---- peers --------------------------------------------------------------------

def bit_width(m):
    """Bits per field for a largest value m < 2^48 - 1 (exact below there)."""
    return max(m, 0).bit_length() + 1


def pure_bpe_encode(lst):
    """The bit-packed layout in plain Python: fields joined as digit text."""
    m = 0
    for v in lst:
        if v > m:
            m = v
    w = bit_width(m)
    mask = (1 << w) - 1
    fmt = '0%db' % w
    bits = ''.join([format(v & mask, fmt) for v in lst])
    nbytes = (len(bits) + 7) // 8
    if not bits:
        return b'', w
    hexed = '%0*x' % (nbytes * 2, int(bits, 2))
    return binascii.unhexlify(hexed), w


def pure_bpe_decode(b, w):
    if not b:
        return []
    total = len(b) * 8
    bits = bin(int(binascii.hexlify(b), 16))[2:].zfill(total)
    bits = bits[total % w:]
    return [int(bits[i:i + w], 2) for i in range(0, len(bits), w)]


def pure_ne_encode(lst):
    m = 0
    for v in lst:
        if v > m:
            m = v
    n = max(1, (bit_width(m) - 1 + 7) // 8)
    out = bytearray()
    shifts = [8 * k for k in range(n - 1, -1, -1)]
    for v in lst:
        for s in shifts:
            out.append((v >> s) & 255)
    return bytes(out), n


def pure_ne_decode(b, n):
    ba = bytearray(b)
    out = []
    for i in range(0, len(ba), n):
        v = 0
        for k in range(i, i + n):
            v = (v << 8) | ba[k]
        out.append(v)
    return out


def np_width(a):
    m = int(a.max()) if len(a) else 0
    return bit_width(m)


def np_pack_unpackbits(lst):
    """numpy: each value's low w bits as a row of bit bytes, then packbits."""
    a = np.array(lst, dtype=np.int64)
    n = len(a)
    w = np_width(a)
    pad = (-n * w) % 8
    u = a.view(np.uint64)
    if w < 64:
        u = u << np.uint64(64 - w)
    rows = u.astype('>u8').view(np.uint8).reshape(n, 8)
    bits = np.unpackbits(rows, axis=1, count=min(w, 64))
    if w > 64:
        bits = np.hstack((np.zeros((n, w - 64), np.uint8), bits))
    flat = bits.ravel()
    if pad:
        flat = np.concatenate((np.zeros(pad, np.uint8), flat))
    return np.packbits(flat).tobytes(), w


def np_pack_words(lst):
    """numpy: each field shifted into its 64-bit word(s), words summed."""
    a = np.array(lst, dtype=np.int64)
    n = len(a)
    w = np_width(a)
    if w > 64 or n == 0:
        return np_pack_unpackbits(lst)
    pad = (-n * w) % 8
    u = a.view(np.uint64)
    if w < 64:
        u = u & np.uint64((1 << w) - 1)
    off = np.arange(n, dtype=np.uint64) * np.uint64(w) + np.uint64(pad)
    j = (off >> np.uint64(6)).astype(np.intp)
    end = (off & np.uint64(63)) + np.uint64(w)  # 1 .. 127
    fits = end <= 64
    c1 = np.where(fits, u << (np.uint64(64) - np.minimum(end, np.uint64(64))),
                  u >> (np.maximum(end, np.uint64(64)) - np.uint64(64)))
    c2 = np.where(fits, np.uint64(0),
                  u << (np.uint64(128) - np.maximum(end, np.uint64(65))))
    nbits = pad + n * w
    nwords = (nbits + 63) // 64
    words = np.zeros(nwords + 1, np.uint64)
    starts = np.flatnonzero(np.concatenate(([True], j[1:] != j[:-1])))
    first = j[starts]
    # Fields never overlap, so adding their bits is the same as or-ing them.
    words[first] += np.add.reduceat(c1, starts)
    words[first + 1] += np.add.reduceat(c2, starts)
    return words[:nwords].astype('>u8').tobytes()[:nbits // 8], w


# ---- timing -------------------------------------------------------------------

# Process CPU time: the machine may be shared, and time spent waiting for a
# processor is not the code's. It includes the kernel's time for this process
# (page faults of fresh memory), which is real work of the call.
if hasattr(time, 'process_time'):
    cpu_timer = time.process_time
else:  # Python 2: clock() is processor time on Unix
    cpu_timer = time.clock

class Timer(object):
    def __init__(self, quick):
        self.min_total = 0.05 if quick else 0.2
        self.repeat = 3 if quick else 5

    def per_call(self, fn, args):
        """Best time of one call, in seconds (timeit-style: loops of calls)."""
        t0 = cpu_timer()
        fn(*args)
        one = cpu_timer() - t0
        number = max(1, int(self.min_total / max(one, 1e-7)))
        reps = self.repeat if one * number < 2.0 else 2
        best = None
        for _ in range(reps):
            t0 = cpu_timer()
            for _ in range(number):
                fn(*args)
            dt = (cpu_timer() - t0) / number
            best = dt if best is None else min(best, dt)
        return best

    def stmt(self, stmt, ns, number=None):
        """Best time of one statement run, in seconds, like python -m timeit:
        the statement is compiled into a plain loop (no call per run)."""
        src = ('def _loop(_n, _timer):\n'
               '    _t0 = _timer()\n'
               '    for _i in _range(_n):\n'
               '        %s\n'
               '    return _timer() - _t0\n') % stmt
        env = dict(ns)
        env['_range'] = range
        exec(src, env)
        loop = env['_loop']

        def run(n):
            return loop(n, cpu_timer)
        if number is None:
            number = 1
            while run(number) < self.min_total:
                number *= 10
        return min(run(number) for _ in range(self.repeat)) / number


# ---- memory (child process) ---------------------------------------------------

def rss_now_kib():
    with open('/proc/self/statm') as f:
        pages = int(f.read().split()[1])
    return pages * (os.sysconf('SC_PAGE_SIZE') // 1024)


def peak_kib():
    """The process's own peak resident size. ru_maxrss is the same counter,
    except that it never goes below the parent's size at fork (Linux keeps
    that across exec) and cannot be reset, so VmHWM is read where it exists."""
    import resource
    try:
        with open('/proc/self/status') as f:
            for line in f:
                if line.startswith('VmHWM:'):
                    return int(line.split()[1])
    except (IOError, OSError):
        pass
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss


def reset_peak():
    """Lets ru_maxrss start again from the current size (Linux 4.0+)."""
    try:
        with open('/proc/self/clear_refs', 'w') as f:
            f.write('5')
        return True
    except (IOError, OSError):
        return False


def int_bytes(x):
    """Heap bytes of one int as the allocator hands them out (16-byte steps)."""
    if -5 <= x <= 256:
        return 0  # the interpreter's shared small ints
    return (sys.getsizeof(x) + 15) // 16 * 16


def child_memory(op, module_dir, n):
    mod = load_module(module_dir)
    if op == 'encode':
        lst = [(i * 2654435761) & ((1 << VALUE_BITS) - 1) for i in range(n)]
        fn, args = mod.bpeEncode, (lst,)
        in_size = sys.getsizeof(lst) + sum(int_bytes(x) for x in lst)
    elif op == 'ne_encode':
        lst = [(i * 2654435761) & ((1 << VALUE_BITS) - 1) for i in range(n)]
        fn, args = mod.neEncode, (lst,)
        in_size = sys.getsizeof(lst) + sum(int_bytes(x) for x in lst)
    elif op == 'decode':
        data = os.urandom(n * 31 // 8 + 1)
        fn, args = mod.bpeDecode, (data, 31)
        in_size = sys.getsizeof(data)
    else:  # ne_decode
        data = os.urandom(n * 4)
        fn, args = mod.neDecode, (data, 4)
        in_size = sys.getsizeof(data)
    reset_ok = reset_peak()
    before_peak = peak_kib()
    before_now = rss_now_kib()
    res = fn(*args)
    after_peak = peak_kib()
    if isinstance(res, tuple):
        out_size = sys.getsizeof(res[0])
        count = n
    else:
        out_size = sys.getsizeof(res) + sum(int_bytes(x) for x in res)
        count = len(res)
    # The peak counts from the larger of the current size and the peak so far.
    base = before_now if reset_ok else max(before_now, before_peak)
    print('%d %d %d %d %d %d' % (count, in_size, out_size, base * 1024,
                                 after_peak * 1024, 1 if reset_ok else 0))


def measure_memory(module_dir, n):
    out = {}
    for op in ('encode', 'ne_encode', 'decode', 'ne_decode'):
        cmd = [sys.executable, os.path.abspath(__file__), '--child-memory', op,
               '--module-dir', module_dir or '', '--n', str(n)]
        text = subprocess.check_output(cmd).decode('ascii').split()
        count, in_size, out_size, base, peak, reset_ok = [int(x) for x in text]
        extra = peak - base - out_size
        out[op] = dict(count=count, in_size=in_size, out_size=out_size, base=base,
                       peak=peak, extra=extra, per_value=extra / n, reset=bool(reset_ok))
    return out


# ---- the run ------------------------------------------------------------------

def check_equal(what, got, want):
    if got != want:
        raise SystemExit('python_bench: %s gives a different result' % what)


def run(args):
    mod = load_module(args.module_dir)
    timer = Timer(args.quick)
    ns_list = [n for n in NS if not (args.quick and n > 10 ** 6)]
    results = {}  # (name, n) -> ns per value
    load_before = os.getloadavg()

    numpy_variants = []
    if np is not None:
        numpy_variants = [('unpackbits', np_pack_unpackbits), ('words', np_pack_words)]

    for n in ns_list:
        lst = make_values(n)
        bpe_b, w = mod.bpeEncode(lst)
        ne_b, nw = mod.neEncode(lst)
        raw8 = array_to_bytes(array.array(QCODE, lst))
        be8 = struct.pack('>%dq' % n, *lst)
        # Peers must produce the same thing, or they are not peers.
        check_equal('bpeDecode', mod.bpeDecode(bpe_b, w), lst)
        check_equal('neDecode', mod.neDecode(ne_b, nw), lst)
        for name, f in numpy_variants:
            check_equal('numpy packing (%s)' % name, f(lst), (bpe_b, w))
        if n <= PURE_MAX_N:
            check_equal('pure-Python bit packing', pure_bpe_encode(lst), (bpe_b, w))
            check_equal('pure-Python whole-byte packing', pure_ne_encode(lst), (ne_b, nw))
            check_equal('pure-Python bit unpacking', pure_bpe_decode(bpe_b, w), lst)
            check_equal('pure-Python whole-byte unpacking', pure_ne_decode(ne_b, nw), lst)

        fmt_q = '>%dq' % n
        cases = [
            ('bpeEncode', mod.bpeEncode, (lst,)),
            ('neEncode', mod.neEncode, (lst,)),
            ("array('q', lst)", array.array, (QCODE, lst)),
            ('struct.pack', lambda l: struct.pack(fmt_q, *l), (lst,)),
            ('bpeDecode', mod.bpeDecode, (bpe_b, w)),
            ('neDecode', mod.neDecode, (ne_b, nw)),
            ('array.tolist', lambda b: array_from_bytes(QCODE, b).tolist(), (raw8,)),
            ('struct.unpack', lambda b: struct.unpack(fmt_q, b), (be8,)),
        ]
        if numpy_variants:
            best = None
            for name, f in numpy_variants:
                t = timer.per_call(f, (lst,))
                results[('numpy %s' % name, n)] = t * 1e9 / n
                best = t if best is None else min(best, t)
            results[('numpy bit packing', n)] = best * 1e9 / n
        if n <= PURE_MAX_N:
            cases += [
                ('pure-Python bpe encode', pure_bpe_encode, (lst,)),
                ('pure-Python ne encode', pure_ne_encode, (lst,)),
                ('pure-Python bpe decode', pure_bpe_decode, (bpe_b, w)),
                ('pure-Python ne decode', pure_ne_decode, (ne_b, nw)),
            ]
        for name, fn, fargs in cases:
            results[(name, n)] = timer.per_call(fn, fargs) * 1e9 / n
        sys.stderr.write('python_bench: N=%d done\n' % n)
        del lst, bpe_b, ne_b, raw8, be8

    ns = {'bpeEncode': mod.bpeEncode, 'bpeDecode': mod.bpeDecode, 'struct': struct,
          'array': array}
    calls = {
        'bpeEncode([1, 2, 3])': timer.stmt('bpeEncode([1, 2, 3])', ns),
        "bpeDecode(b'\\x00\\x53', 3)": timer.stmt("bpeDecode(b'\\x00\\x53', 3)", ns),
        "struct.pack('>3q', 1, 2, 3)": timer.stmt("struct.pack('>3q', 1, 2, 3)", ns),
        "array.array('q', [1, 2, 3])": timer.stmt("array.array('%s', [1, 2, 3])" % QCODE, ns),
    }
    mem = measure_memory(args.module_dir, MEM_N if not args.quick else 10 ** 6)
    load_after = os.getloadavg()
    return dict(results=results, calls=calls, mem=mem, ns_list=ns_list,
                load=(load_before, load_after), width=(w, nw))


# ---- reporting ----------------------------------------------------------------

ENCODE_ROWS = ['bpeEncode', 'neEncode', "array('q', lst)", 'struct.pack',
               'numpy bit packing', 'numpy unpackbits', 'numpy words',
               'pure-Python bpe encode', 'pure-Python ne encode']
DECODE_ROWS = ['bpeDecode', 'neDecode', 'array.tolist', 'struct.unpack',
               'pure-Python bpe decode', 'pure-Python ne decode']
# Each of our rows against its peers at N = 10^6: (peer, shown as).
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
                    pv = res.get((p, nref))
                    if pv:
                        parts.append('%.2f× %s' % (mine / pv, p))
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
    npk = get('numpy bit packing')
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
            target('%s ≥ 3× faster than numpy bit packing' % f, npk / v, 3.0,
                   '%.2f ns vs %.2f ns = %.2f× faster' % (v, npk, npk / v), le=False)
        else:
            target('%s ≥ 3× faster than numpy bit packing' % f, None, 0, '')
    for f in ('bpeDecode', 'neDecode'):
        v = get(f)
        target('%s ≤ 1.1× array.tolist()' % f, v / tl, 1.1,
               '%.2f ns vs %.2f ns = %.2f×' % (v, tl, v / tl))
    calls = r['calls']
    sp3 = calls["struct.pack('>3q', 1, 2, 3)"]
    for k in ('bpeEncode([1, 2, 3])', "bpeDecode(b'\\x00\\x53', 3)"):
        c = calls[k]
        target('%s ≤ 2× struct.pack(\'>3q\', 1, 2, 3)' % k, c / sp3, 2.0,
               '%.0f ns vs %.0f ns = %.2f×' % (c * 1e9, sp3 * 1e9, c / sp3))
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
        'Machine: %s, %d CPUs; load average before %s, after %s' % (
            cpu_model(), os.sysconf('SC_NPROCESSORS_ONLN'),
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


def call_lines(r):
    c = r['calls']
    sp3 = c["struct.pack('>3q', 1, 2, 3)"]
    return ['| `%s` | %.0f | %.2f× |' % (k, v * 1e9, v / sp3) for k, v in c.items()]


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
              '"numpy bit packing" is the faster of the two numpy packings of the list into the '
              'same bit layout (both checked to give bpeEncode\'s bytes): "unpackbits" spreads '
              'each value into bit bytes and packs them; "words" shifts each field into 64-bit '
              'words. Pure-Python rows (only up to N=10^5) are for scale.', '',
              '## Call overhead (ns per call)', '',
              '| call | ns | ratio to struct.pack |', '| --- | ---: | ---: |']
    lines += call_lines(r)
    lines += ['', '## Peak memory, N=%d, in a child process (MiB)' % mem_n, '',
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


def svg_escape(s):
    return s.replace('&', '&amp;').replace('<', '&lt;').replace('>', '&gt;').replace("'", '&#39;')


def write_svg(path, r, nref):
    res = r['results']
    panels = [
        ('List → bytes, N=10^%d (ns per value)' % len(str(nref)[1:]),
         [(n, res.get((n, nref))) for n in ('bpeEncode', 'neEncode', "array('q', lst)",
                                            'struct.pack', 'numpy bit packing')]),
        ('Bytes → list, N=10^%d (ns per value)' % len(str(nref)[1:]),
         [(n, res.get((n, nref))) for n in ('bpeDecode', 'neDecode', 'array.tolist',
                                            'struct.unpack')]),
        ('Three-value call (ns per call)',
         [(k, v * 1e9) for k, v in r['calls'].items()]),
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


def main():
    import argparse
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('--module-dir', default='build-bench')
    ap.add_argument('--out', default=None, help='write python_bench.md and .svg here')
    ap.add_argument('--quick', action='store_true', help='N up to 10^6, shorter timing')
    ap.add_argument('--child-memory', default=None, help=argparse.SUPPRESS)
    ap.add_argument('--n', type=int, default=MEM_N, help=argparse.SUPPRESS)
    args = ap.parse_args()
    if args.child_memory:
        child_memory(args.child_memory, args.module_dir, args.n)
        return
    r = run(args)
    head, rows, targets, nref = build_report(r)
    print()
    for l in context_lines(r, args.quick):
        print(l)
    print()
    print(text_table(head, rows))
    print()
    print('Call overhead (ns per call):')
    sp3 = r['calls']["struct.pack('>3q', 1, 2, 3)"]
    for k, v in r['calls'].items():
        print('  %-32s %6.0f  (%.2f× struct.pack)' % (k, v * 1e9, v / sp3))
    print()
    print('Peak memory in a child process (MiB): input, output, peak rise, extra, extra B/value')
    for l in mem_lines(r):
        print('  ' + l.strip('| ').replace(' | ', '  '))
    print()
    print('Targets at N=10^%d:' % len(str(nref)[1:]))
    for t in targets:
        print(t)
    if args.out:
        if not os.path.isdir(args.out):
            os.makedirs(args.out)
        write_markdown(os.path.join(args.out, 'python_bench.md'), r, head, rows, targets,
                       args.quick)
        write_svg(os.path.join(args.out, 'python_bench.svg'), r, nref)
        sys.stderr.write('python_bench: wrote %s/python_bench.md and .svg\n' % args.out)


if __name__ == '__main__':
    main()
