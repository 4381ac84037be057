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
    def __init__(self, quick, min_total=None, repeat=None):
        self.min_total = min_total or (0.05 if quick else 0.2)
        self.repeat = repeat or (3 if quick else 5)

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
