"""Timing in process CPU time, timeit-style."""
from __future__ import absolute_import, division, print_function

import time

from .common import range

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
