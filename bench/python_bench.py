#!/usr/bin/env python
# -*- coding: utf-8 -*-
"""pyvaskor from Python, against what a Python user would reach for instead.

    python bench/python_bench.py [--module-dir DIR] [--out DIR] [--quick]

Standard library only; runs on Python 2.7 and every Python 3. numpy is used
for the bit-level peer when it is installed. Prints the tables with the ratios
to the peers and writes them as Markdown plus an SVG bar chart into --out
(python_bench.md and .svg; arrays_bench.md with numpy; columns_bench.md,
the column suite, with numpy and numcodecs; vaskor_bench.txt, the README's
`vaskor bench` example, on Python 3 with numpy).
Figures only: nothing here passes or fails on time.
"""
from __future__ import absolute_import, division, print_function

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from pybench import calls, magnitudes  # noqa: E402
from pybench.arrays import run_arrays  # noqa: E402
from pybench.command import run_command_example  # noqa: E402
from pybench.common import MEM_N, TARGET_N, load_module  # noqa: E402
from pybench.memory import child_memory  # noqa: E402
from pybench.report import build_report, context_lines, mem_lines, text_table, write_markdown  # noqa: E402
from pybench.runner import run  # noqa: E402
from pybench.suite import run_suite  # noqa: E402
from pybench.svg import write_svg  # noqa: E402


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
    print('List encoders by magnitude at N=10^%d (ns per value; ratio to max(lst)):' % len(str(TARGET_N)[1:]))
    print(text_table(*magnitudes.rows(r['magnitudes'])))
    print()
    print('Small calls (ns per call):')
    print(calls.note(r['calls']))
    print(text_table(*calls.rows(r['calls'])))
    print()
    print('Peak memory in a child process (MiB): input, output, peak rise, extra, extra B/value')
    for l in mem_lines(r):
        print('  ' + l.strip('| ').replace(' | ', '  '))
    print()
    print('Targets at N=10^%d:' % len(str(nref)[1:]))
    for t in targets:
        print(t)
    run_arrays(load_module(None), args.quick, args.out)
    run_suite(load_module(None), args.module_dir, args.quick, args.out)
    run_command_example(args.module_dir, args.out)
    if args.out:
        if not os.path.isdir(args.out):
            os.makedirs(args.out)
        write_markdown(os.path.join(args.out, 'python_bench.md'), r, head, rows, targets,
                       args.quick)
        write_svg(os.path.join(args.out, 'python_bench.svg'), r, nref)
        sys.stderr.write('python_bench: wrote %s/python_bench.md and .svg\n' % args.out)


if __name__ == '__main__':
    main()
