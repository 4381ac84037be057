"""The README's `vaskor bench` example, run as the README has it (on the
same seeded timestamps), its output kept in vaskor_bench.txt beside the
other results so that the README quotes a real run. Needs Python 3 and
numpy; skipped otherwise."""
from __future__ import absolute_import, division, print_function

import os
import platform
import shutil
import subprocess
import sys
import tempfile
import time

from .common import np
from .report import code_path, cpu_model

# What the README's example saves as ts.npy.
MAKE_TS = ("import numpy as np; np.save('ts.npy', np.cumsum(np.random.default_rng(1)"
           ".integers(0, 1000, 10**6)).astype('datetime64[ms]'))")


def run_command_example(module_dir, out_dir):
    if np is None or sys.version_info[0] < 3 or not out_dir:
        print('vaskor bench example: skipped (needs Python 3, numpy and --out)')
        return
    work = tempfile.mkdtemp()
    try:
        env = dict(os.environ, PYTHONPATH=os.path.abspath(module_dir))
        subprocess.check_call([sys.executable, '-c', MAKE_TS], cwd=work, env=env)
        load = os.getloadavg()
        shown = subprocess.check_output([sys.executable, '-m', 'pyvaskor_cli', 'bench', 'ts.npy'],
                                        cwd=work, env=env, universal_newlines=True)
    finally:
        shutil.rmtree(work)
    path = os.path.join(out_dir, 'vaskor_bench.txt')
    with open(path, 'w') as f:
        f.write('`vaskor bench ts.npy`, the README\'s example, written by `make bench-python` '
                '(bench/pybench/command.py), %s UTC.\nMachine: %s, %d CPUs; code path: %s; Python %s; '
                'load average before %.2f\n\n'
                % (time.strftime('%Y-%m-%d %H:%M', time.gmtime()), cpu_model(),
                   os.sysconf('SC_NPROCESSORS_ONLN'), code_path(), platform.python_version(), load[0]))
        f.write(shown)
    sys.stderr.write('python_bench: wrote %s\n' % path)
