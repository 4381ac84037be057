"""Load: a million calls over every success and error path leave memory
flat, reference counts unchanged and no error pending; eight threads get
what one thread gets; ten million values round-trip.

Full size with PYVASKOR_HEAVY=1 (run so on one Python 3 and on Python 2.7);
a tenth of it otherwise, so every interpreter still runs every path."""

import gc
import hashlib
import os
import struct
import sys
import threading
import time
import unittest

import module_calls
import pyvaskor
import support

PY2 = sys.version_info[0] == 2
HEAVY = os.environ.get('PYVASKOR_HEAVY') == '1'
CALLS = 10 ** 6 if HEAVY else 10 ** 5
THREADS = 8
CALLS_PER_THREAD = 10 ** 5 if HEAVY else 10 ** 4
BIG = 10 ** 7 if HEAVY else 10 ** 6
# Under AddressSanitizer freed memory sits in quarantine, so resident size
# says nothing there; the leak checker covers that run instead.
SANITIZED = 'libasan' in os.environ.get('LD_PRELOAD', '')

PREFIX = 'Cannot convert python object to '
UNEXPECTED = 'Unexpected error encountered: '


def report(text):
    if HEAVY:
        sys.stderr.write('\n[load] %s\n' % text)


def fresh(*items):
    return bytes(bytearray(items))


def text(s):
    return ''.join(list(s))


def make_cases():
    """(function, args, kwargs, expected outcome). The expected outcome is
    ('ok', result), ('TypeError', message), ('ValueError', message),
    ('FrameError', message) or ('nimpy.Kind', message)."""
    big = 2 ** 70
    ints = [10 ** 6 + i for i in range(64)]
    data = pyvaskor.bpeEncode([5, 0, 9] * 32)[0]
    bpe = pyvaskor.bpeEncode(ints)
    ne = pyvaskor.neEncode(ints)
    # Every path of every module function, as its first call went.
    cases = []
    for _, fn, calls in module_calls.functions():
        for args, kwargs in [(calls.required_args(), {}), ((), calls.good), (calls.refused, {}),
                             (calls.all_args() + (1,), {})] + [(calls.failing, {})] * bool(calls.failing):
            cases.append((fn, args, kwargs, run((fn, args, kwargs, None))))
    return cases + [
        # Results, by every call form.
        (pyvaskor.bpeEncode, (ints,), {}, ('ok', bpe)),
        (pyvaskor.bpeEncode, (), {'a': tuple(ints)}, ('ok', bpe)),
        (pyvaskor.neEncode, (tuple(ints),), {}, ('ok', ne)),
        (pyvaskor.bpeDecode, (bpe[0], bpe[1]), {}, ('ok', ints)),
        (pyvaskor.bpeDecode, (data,), {'l': 5}, ('ok', [5, 0, 9] * 32)),
        (pyvaskor.neDecode, (), {'l': ne[1], 'bytes': ne[0]}, ('ok', ints)),
        (pyvaskor.neDecode, (list(bytearray(fresh(ne[1]) + ne[0])), 0), {}, ('ok', ints)),
        (pyvaskor.neDecode, (fresh(0xFF) * 8, 8), {}, ('ok', [-1])),
        # Argument checking.
        (pyvaskor.bpeEncode, (ints, ints), {},
         ('TypeError', 'bpeEncode() takes exactly 1 arguments (2 given)')),
        (pyvaskor.neDecode, (), {},
         ('TypeError', 'neDecode() takes exactly 2 arguments (0 given)')),
        (pyvaskor.bpeEncode, (), {text('zz'): ints},
         ('TypeError', 'bpeEncode() missing 1 required positional argument: a')),
        (pyvaskor.neDecode, (data,), {'bytes': data},
         ('TypeError', 'neDecode() missing 1 required positional argument: l')),
        # Conversion.
        (pyvaskor.bpeEncode, (text('abc'),), {}, ('TypeError', PREFIX + 'seq[int]')),
        (pyvaskor.neEncode, ([1000, big, 2000],), {}, ('TypeError', PREFIX + 'int')),
        (pyvaskor.neEncode, ((1000, text('x')),), {}, ('TypeError', PREFIX + 'int')),
        (pyvaskor.bpeDecode, (bytearray(data), 1), {}, ('TypeError', PREFIX + 'seq[byte]')),
        (pyvaskor.bpeDecode, ([1000, -big], 1), {}, ('TypeError', PREFIX + 'byte')),
        (pyvaskor.neDecode, (data, big), {}, ('TypeError', PREFIX + 'int')),
        (pyvaskor.neDecode, (data, text('1')), {}, ('TypeError', PREFIX + 'int')),
        # The codec.
        (pyvaskor.bpeDecode, (data, -1), {},
         ('nimpy.AssertionDefect', UNEXPECTED + 'bpe(76, 18) `item.parseBin(iitem) == rl` ')),
        (pyvaskor.bpeDecode, (fresh(0) + data, 0), {}, failure_of(pyvaskor.bpeDecode, fresh(0, 1), 0)),
        (pyvaskor.neDecode, (data, -3), {}, failure_of(pyvaskor.neDecode, fresh(1), -3)),
    ]


def failure_of(fn, *args):
    """The module exception a call gives, as an expected outcome; the text
    of these is the implementation's choice, but it must not vary."""
    try:
        fn(*args)
    except pyvaskor.NimPyException as e:
        return ('nimpy.' + type(e).__name__, str(e))
    raise AssertionError('no module exception')


def run(case):
    fn, args, kwargs, _ = case
    try:
        return ('ok', fn(*args, **kwargs))
    except (TypeError, ValueError) as e:
        if type(e) not in (TypeError, ValueError, pyvaskor.FrameError) or e.args != (str(e),):
            raise
        return (type(e).__name__, str(e))
    except pyvaskor.NimPyException as e:
        return (type(e).__module__ + '.' + type(e).__name__, str(e))


def watched(case):
    """Every object handed over: arguments, keyword names and values, and
    the first items of sequences. Not the small integers: the interpreter
    shares those everywhere, so their counts move on their own."""
    _, args, kwargs, _ = case
    objs = list(args) + list(kwargs.keys()) + list(kwargs.values())
    for o in list(objs):
        if isinstance(o, (list, tuple)):
            objs.extend(o[:3])
    return [o for o in objs if not (isinstance(o, int) and -5 <= o <= 256)]


def probe(test):
    # A stale error left by a failed call would turn these -1 conversions
    # into a TypeError or a SystemError.
    test.assertEqual(pyvaskor.neEncode([-1, -1]), (b'\xff\xff', 1))
    test.assertEqual(pyvaskor.bpeDecode(b'', -1), [])
    test.assertEqual(pyvaskor.neDecode([-1], 1), [255])


class MillionCalls(unittest.TestCase):

    # 8 MiB. Each round passes about 2 KB of native data and makes three new
    # exception classes; at full size a leak of 8 bytes a call exceeds it.
    RSS_BOUND = 8 * 2 ** 20
    # PyPy's heap, past its working size, still moves by up to about 20 MiB
    # from run to run; a leak of 32 bytes a call exceeds this.
    PYPY_RSS_BOUND = 32 * 2 ** 20

    def test_memory_references_and_results_hold(self):
        cases = make_cases()
        objs = [o for case in cases for o in watched(case)]
        rounds = -(-CALLS // len(cases))
        for _ in range(200):
            for case in cases:
                run(case)
        if PY2:
            sys.exc_clear()
        gc.collect()
        counts = support.refcounts(objs)
        rss = support.resident_bytes()
        start = time.time()

        def work(rounds):
            for _ in range(rounds):
                for case in cases:
                    got = run(case)
                    if got != case[3]:
                        self.fail('%s%r %r: %r != %r' % (case[0].__name__, case[1], case[2], got, case[3]))
        if support.PYPY:
            grown = support.least_growth(lambda: support.steady_growth(lambda: work(-(-rounds // 6))),
                                         self.PYPY_RSS_BOUND)
        else:
            work(rounds)
        elapsed = time.time() - start
        if PY2:
            sys.exc_clear()
        gc.collect()
        if not support.PYPY:
            grown = support.resident_bytes() - rss
        self.assertEqual(support.refcounts(objs), counts)
        probe(self)
        report('%d calls in %.1f s; resident size grew by %d KiB; %d objects kept their counts'
               % (rounds * len(cases), elapsed, grown // 1024, len(counts)))
        if not SANITIZED:
            bound = self.PYPY_RSS_BOUND if support.PYPY else self.RSS_BOUND
            self.assertLess(grown, bound, 'grew by %d bytes' % grown)


@support.needs_cpython('sys.getrefcount')
class SharedKeywordNames(unittest.TestCase):
    """A keyword name is looked up through a string the module makes and
    releases. For one-character names the interpreter hands out its shared
    character object, which Python 3.12 and later never free (immortal);
    releasing it must not lower its count, or enough calls free it."""

    def test_counts_of_shared_names_stay(self):
        def calls(fn, kwargs):
            for _ in range(10000):
                try:
                    fn(**kwargs)
                except TypeError:
                    pass

        names = [chr(97), chr(108)]  # 'a' and 'l', the shared objects
        # Each path alone: found, missing, and missing after a positional.
        for fn, kwargs in ((pyvaskor.bpeEncode, {'a': [1]}),
                           (pyvaskor.bpeEncode, {'zz': [1]}),
                           (pyvaskor.neDecode, {'bytes': b'', 'l': 1}),
                           (pyvaskor.neDecode, {'bytes': b'', 'zz': 1})):
            calls(fn, kwargs)
            before = support.refcounts(names)
            calls(fn, kwargs)
            self.assertEqual(support.refcounts(names), before,
                             '%s(**%r)' % (fn.__name__, kwargs))


class PendingErrorState(unittest.TestCase):
    """After each failed call the exception is exactly the specified one,
    raised by the call itself, and nothing else is left pending."""

    def test_every_error_path(self):
        for case in make_cases():
            want = case[3]
            if want[0] == 'ok':
                continue
            fn, args, kwargs, _ = case
            try:
                fn(*args, **kwargs)
            except Exception:
                cls, e, tb = sys.exc_info()
                self.assertIs(type(e), cls)
                builtin = cls in (TypeError, ValueError, pyvaskor.FrameError)
                name = cls.__name__ if builtin else cls.__module__ + '.' + cls.__name__
                self.assertEqual((name, str(e)), want)
                self.assertEqual(e.args, (want[1],))
                # Raised by the call in this frame, not from anywhere deeper.
                self.assertIsNone(tb.tb_next)
                if not PY2:
                    # Nothing chained: an overflow error the conversion met
                    # is gone, not attached.
                    self.assertIsNone(e.__context__)
                    self.assertIsNone(e.__cause__)
                if not builtin:
                    self.assertTrue(issubclass(cls, pyvaskor.NimPyException))
                    self.assertFalse(issubclass(cls, TypeError))
            else:
                self.fail('no exception from %s%r' % (fn.__name__, args))
            if PY2:
                sys.exc_clear()
            probe(self)

    def test_failure_inside_a_handler_chains_only_the_handled_one(self):
        if PY2:
            return
        try:
            raise KeyError('outer')
        except KeyError as outer:
            try:
                pyvaskor.neEncode([2 ** 64])
            except TypeError as e:
                self.assertIs(e.__context__, outer)
        probe(self)


def thread_inputs(n):
    """n calls over every module function, successes and failures, the same
    sequence for every thread."""
    calls = []
    for _, fn, c in module_calls.functions():
        calls += [(fn, c.required_args()), (fn, c.refused)] + [(fn, c.failing)] * bool(c.failing)
    for i in range(n):
        v = (i * 2654435761) % (2 ** 61) - 2 ** 40
        values = [v, i, -i, v >> 7, 2 ** (i % 63)]
        k = i % 6
        if k == 0:
            calls.append((pyvaskor.bpeEncode, (values,)))
        elif k == 1:
            calls.append((pyvaskor.neEncode, (tuple(values),)))
        elif k == 2:
            calls.append((pyvaskor.bpeDecode, (struct.pack('>3q', v, i, -i), i % 70 - 3)))
        elif k == 3:
            calls.append((pyvaskor.neDecode, (struct.pack('>2q', v, i), i % 17)))
        elif k == 4:
            calls.append((pyvaskor.neDecode, ([v & 255, i, 300], 1)))
        else:
            calls.append((pyvaskor.bpeEncode, ([v, 'x'],)))
    return calls


def digest(calls):
    h = hashlib.sha256()
    for fn, args in calls:
        try:
            got = repr(fn(*args))
        except Exception as e:
            got = '%s.%s: %s' % (type(e).__module__, type(e).__name__, e)
        h.update(got.encode('utf-8'))
    return h.hexdigest()


class Threads(unittest.TestCase):

    def test_eight_threads_get_what_one_gets(self):
        calls = thread_inputs(CALLS_PER_THREAD)
        start = time.time()
        expected = digest(calls)
        single = time.time() - start
        results = {}

        def work(k):
            results[k] = digest(calls)

        # Switch threads often, so calls of different threads interleave.
        if PY2:
            old = sys.getcheckinterval()
            sys.setcheckinterval(5)
        else:
            old = sys.getswitchinterval()
            sys.setswitchinterval(1e-5)
        try:
            start = time.time()
            threads = [threading.Thread(target=work, args=(k,)) for k in range(THREADS)]
            for t in threads:
                t.start()
            for t in threads:
                t.join()
            multi = time.time() - start
        finally:
            if PY2:
                sys.setcheckinterval(old)
            else:
                sys.setswitchinterval(old)
        self.assertEqual(results, dict((k, expected) for k in range(THREADS)))
        report('%d threads x %d calls in %.1f s (one thread: %d calls in %.1f s); all digests equal'
               % (THREADS, CALLS_PER_THREAD, multi, CALLS_PER_THREAD, single))


class TenMillionValues(unittest.TestCase):

    def setUp(self):
        # Random values over the whole 64-bit range: both codecs choose 8
        # bytes (64 or 65 bits) a value, and every value comes back whole.
        self.raw = os.urandom(8 * BIG)
        self.values = list(struct.unpack('<%dq' % BIG, self.raw))
        self.big_endian = struct.pack('>%dq' % BIG, *self.values)

    def tearDown(self):
        del self.raw, self.values, self.big_endian
        gc.collect()

    def test_whole_byte(self):
        start = time.time()
        packed, n = pyvaskor.neEncode(self.values)
        self.assertEqual(n, 8)
        self.assertTrue(packed == self.big_endian, 'packed bytes differ')
        back = pyvaskor.neDecode(packed, n)
        self.assertTrue(back == self.values, 'values differ')
        back = pyvaskor.neDecode(struct.pack('B', 8) + packed, 0)
        self.assertTrue(back == self.values, 'values differ with the width byte')
        report('neEncode/neDecode of %d values round-trip in %.1f s' % (BIG, time.time() - start))

    def test_bit_packed(self):
        start = time.time()
        packed, w = pyvaskor.bpeEncode(tuple(self.values))
        self.assertIn(w, (64, 65))
        if w == 64:
            self.assertTrue(packed == self.big_endian, 'packed bytes differ')
        back = pyvaskor.bpeDecode(packed, w)
        self.assertTrue(back == self.values, 'values differ')
        # Non-negative values of up to 40 bits: 41-bit fields across bytes.
        small = [v & (2 ** 40 - 1) for v in self.values]
        small[0] = 2 ** 40 - 1
        packed, w = pyvaskor.bpeEncode(small)
        self.assertEqual((w, len(packed)), (41, (41 * BIG + 7) // 8))
        self.assertTrue(pyvaskor.bpeDecode(packed, w) == small, 'values differ')
        report('bpeEncode/bpeDecode of 2 x %d values round-trip in %.1f s' % (BIG, time.time() - start))


if __name__ == '__main__':
    unittest.main()
