"""The measured run: every call and its peers at every N, the small
calls and the peak memory."""
from __future__ import absolute_import, division, print_function

import array
import os
import struct
import sys

from . import calls, magnitudes
from .common import (MEM_N, NS, PURE_MAX_N, QCODE, TARGET_N, array_from_bytes, array_to_bytes,
                     load_module, make_values, np)
from .memory import measure_memory
from .peers import (np_pack_unpackbits, np_pack_words, pure_bpe_decode, pure_bpe_encode,
                    pure_ne_decode, pure_ne_encode)
from .timing import Timer


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
        for name, f in numpy_variants:
            results[('numpy %s' % name, n)] = timer.per_call(f, (lst,)) * 1e9 / n
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

    small = calls.measure(mod, args.quick)
    by_magnitude = magnitudes.measure(mod, timer, TARGET_N)
    mem = measure_memory(args.module_dir, MEM_N if not args.quick else 10 ** 6)
    load_after = os.getloadavg()
    return dict(results=results, calls=small, mem=mem, ns_list=ns_list, magnitudes=by_magnitude,
                load=(load_before, load_after), width=(w, nw))
