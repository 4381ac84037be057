"""Every call form: all positional counts with every subset of keywords,
right, repeated and unknown, and keys the interpreter itself never passes.
Each call must give the expected exception or the result, never a crash."""

import itertools
import unittest

import pyvaskor
import support
from hardening_support import PARAMS, PY2, MyStr, call_raw, outcome


class CallFormSweep(unittest.TestCase):
    """All positional counts with every subset of keywords, the right ones,
    repeated ones and unknown ones, against the argument-checking rules: the
    count first, then the parameters the positions leave open."""

    GOOD = {'a': [5, 0, 9], 'bytes': b'\x05\x14\x09', 'l': 0}

    def expected(self, name, nargs, keys):
        params = PARAMS[name]
        given = nargs + len(keys)
        if given != len(params):
            return ('type', '%s() takes exactly %d arguments (%d given)' % (name, len(params), given))
        for p in params[nargs:]:
            if p not in keys:
                return ('type', '%s() missing 1 required positional argument: %s' % (name, p))
        # With every parameter required, a call that got this far has used
        # each keyword for an open parameter: it is accepted.
        return ('ok', getattr(pyvaskor, name)(*[self.GOOD[p] for p in params]))

    def test_every_form(self):
        pool = ['a', 'bytes', 'l', 'x', 'A', 'bytes_', 'self']
        for name, params in sorted(PARAMS.items()):
            fn = getattr(pyvaskor, name)
            for nargs in range(0, 4):
                positional = [self.GOOD.get(p, 1) for p in (params + ('x', 'x', 'x'))[:nargs]]
                for k in range(0, 4):
                    for keys in itertools.combinations(pool, k):
                        kwargs = dict((key, self.GOOD.get(key, 1)) for key in keys)
                        self.assertEqual(outcome(fn, *positional, **kwargs),
                                         self.expected(name, nargs, keys), (name, nargs, keys))

    @support.needs_cpython('ctypes.pythonapi')
    def test_keys_the_interpreter_never_passes(self):
        # Keys that are not str reach the module only through the C API.
        for name, params in sorted(PARAMS.items()):
            fn = getattr(pyvaskor, name)
            last = params[-1]
            positional = [self.GOOD[p] for p in params[:-1]]
            missing = '%s() missing 1 required positional argument: %s' % (name, last)
            for key in (1, None, (last,), 1.5):
                self.assertEqual(outcome(call_raw, fn, positional, {key: self.GOOD[last]}),
                                 ('type', missing), (name, key))
            expected = fn(*[self.GOOD[p] for p in params])
            # A byte-string key equals the parameter's name only where str is bytes.
            got = outcome(call_raw, fn, positional, {last.encode('ascii'): self.GOOD[last]})
            self.assertEqual(got, ('ok', expected) if PY2 else ('type', missing), name)
            self.assertEqual(outcome(call_raw, fn, positional, {u'' + last: self.GOOD[last]}),
                             ('ok', expected), name)
            self.assertEqual(outcome(call_raw, fn, positional, {MyStr(last): self.GOOD[last]}),
                             ('ok', expected), name)


if __name__ == '__main__':
    unittest.main()
