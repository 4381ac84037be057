"""Every call form: all positional counts with every subset of keywords,
right, repeated and unknown, and keys the interpreter itself never passes.
Each call must give the expected exception or the result, never a crash."""

import itertools
import unittest

import module_calls
import support
from hardening_support import PY2, MyStr, call_raw, outcome


class CallFormSweep(unittest.TestCase):
    """All positional counts with every subset of keywords, the right ones,
    repeated ones and unknown ones, against the argument-checking rules: the
    count first, then the parameters the positions leave open."""

    def expected(self, fn, calls, nargs, keys):
        """The outcomes the call may have: an unknown keyword among several
        is named in the dictionary's order, which Python 2 does not keep."""
        params, required = calls.params, calls.required
        name = fn.__name__
        given = nargs + len(keys)
        fits = required <= given <= len(params) if required < len(params) else given == len(params)
        if not fits:
            return [('type', '%s() takes exactly %d arguments (%d given)' % (name, len(params), given))]
        for p in params[nargs:required]:
            if p not in keys:
                return [('type', '%s() missing 1 required positional argument: %s' % (name, p))]
        if all(k in params[nargs:] for k in keys):
            return [('ok', fn(**dict((p, calls.good[p]) for p in params[:nargs] + tuple(keys))))]
        for p in params[:nargs]:
            if p in keys:
                return [('type', '%s() got multiple values for argument %s' % (name, p))]
        return [('type', '%s() got an unexpected keyword argument %s' % (name, k))
                for k in keys if k not in params]

    def test_every_form(self):
        pool = ['a', 'bytes', 'l', 'out', 'frame', 'layout', 'transform', 'start', 'x', 'A', 'bytes_', 'self']
        for name, fn, calls in module_calls.functions():
            params = calls.params
            for nargs in range(0, 5):
                positional = [calls.good.get(p, 1) for p in (params + ('x',) * 4)[:nargs]]
                for k in range(0, 4):
                    for keys in itertools.combinations(pool, k):
                        kwargs = dict((key, calls.good.get(key, 1)) for key in keys)
                        self.assertIn(outcome(fn, *positional, **kwargs),
                                      self.expected(fn, calls, nargs, keys), (name, nargs, keys))

    @support.needs_cpython('ctypes.pythonapi')
    def test_keys_the_interpreter_never_passes(self):
        # Keys that are not str reach the module only through the C API.
        for name, fn, calls in module_calls.functions():
            params = calls.params[:calls.required]
            last = params[-1]
            good = calls.good
            positional = [good[p] for p in params[:-1]]
            missing = '%s() missing 1 required positional argument: %s' % (name, last)
            for key in (1, None, (last,), 1.5):
                self.assertEqual(outcome(call_raw, fn, positional, {key: good[last]}),
                                 ('type', missing), (name, key))
            expected = fn(*[good[p] for p in params])
            # A byte-string key equals the parameter's name only where str is bytes.
            got = outcome(call_raw, fn, positional, {last.encode('ascii'): good[last]})
            self.assertEqual(got, ('ok', expected) if PY2 else ('type', missing), name)
            self.assertEqual(outcome(call_raw, fn, positional, {u'' + last: good[last]}),
                             ('ok', expected), name)
            self.assertEqual(outcome(call_raw, fn, positional, {MyStr(last): good[last]}),
                             ('ok', expected), name)


if __name__ == '__main__':
    unittest.main()
