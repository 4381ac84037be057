"""Callers that turn against their own call: Python code run in the middle
of it (an item's or the width's __index__/__int__, a keyword's __eq__)
frees the arguments, empties the keyword dictionary or raises an
interpreter-level exception; and what loading does to an ignored signal
and to the handler's report when the standard-error lock is taken."""

import gc
import signal
import sys
import unittest

import pyvaskor
import support
from test_process import NO_CORE, SIGNAL_MESSAGES, run_child

DATA = bytes(bytearray(range(1, 200))) * 3
MESSAGE = dict(SIGNAL_MESSAGES)
KEEP = []


def drop_keyword(obj, name):
    """Deletes the keyword `name` from every dictionary that holds obj (as a
    key or a value) or a list holding obj: the caller's and, from 3.9 on,
    the call's own."""
    held = [r for r in gc.get_referrers(obj) if type(r) is list and any(x is obj for x in r)]
    held.append(obj)
    found = [d for h in held for d in gc.get_referrers(h)
             if type(d) is dict and name in d and any(h in pair for pair in d.items())]
    for d in found:
        del d[name]


class Dropper(object):
    """Its conversion frees the call's argument `name` (the caller's
    references to it dropped), then allocates objects of the same sizes,
    which land where the freed ones were."""

    def __init__(self, value, name):
        self.value, self.name = value, name

    def __index__(self):
        drop_keyword(self, self.name)
        KEEP.extend(bytes(bytearray([0x41]) * len(DATA)) for _ in range(4))
        KEEP.extend([0x41] * 64 for _ in range(4))
        return self.value

    __int__ = __long__ = __index__  # __long__: PyPy 2.7 converts through it alone


class FadingKey(str):
    """A keyword name whose second comparison (the fetch after the argument
    check) takes itself out of the dictionaries that hold it."""
    __hash__ = str.__hash__

    def __eq__(self, other):
        self.uses = getattr(self, 'uses', 0) + 1
        if self.uses == 2:
            drop_keyword(self, self)
        return str.__eq__(self, other)


class Raiser(object):
    def __init__(self, exc):
        self.exc = exc

    def __index__(self):
        raise self.exc

    __int__ = __long__ = __index__  # __long__: PyPy 2.7 converts through it alone


def values_with(item):
    values = list(range(64))
    values[5] = item
    return values


def plain(value):
    """What a Dropper's argument stands for, with nothing hostile in it."""
    if isinstance(value, list):
        return [plain(x) for x in value]
    return value.value if isinstance(value, Dropper) else value


class HostileArguments(unittest.TestCase):

    def test_arguments_freed_by_their_own_conversion(self):
        # Each case builds its keywords afresh: only the call holds them.
        cases = [
            ('bpeDecode', lambda: {'bytes': bytes(bytearray(DATA)), 'l': Dropper(8, 'bytes')}),
            ('neDecode', lambda: {'bytes': bytes(bytearray(DATA)), 'l': Dropper(8, 'bytes')}),
            ('bpeDecode', lambda: {'bytes': values_with(Dropper(5, 'bytes')), 'l': 8}),
            ('neDecode', lambda: {'bytes': values_with(Dropper(5, 'bytes')), 'l': 1}),
            ('bpeEncode', lambda: {'a': values_with(Dropper(5, 'a'))}),
            ('neEncode', lambda: {'a': values_with(Dropper(5, 'a'))}),
        ]
        for name, make in cases:
            fn = getattr(pyvaskor, name)
            want = fn(**dict((k, plain(v)) for k, v in make().items()))
            for trial in range(5):
                self.assertEqual(fn(**make()), want, (name, trial))

    @unittest.skipIf(support.PYPY and sys.version_info[0] == 2,
                     "PyPy 2.7's dictionaries do not compare a str subclass key as the test needs")
    def test_keyword_that_vanishes_after_the_check(self):
        cases = [
            (pyvaskor.bpeEncode, (), {FadingKey('a'): [1, 2]}, 'bpeEncode', 'a'),
            (pyvaskor.neEncode, (), {FadingKey('a'): [1, 2]}, 'neEncode', 'a'),
            (pyvaskor.bpeDecode, (b'\x14\t',), {FadingKey('l'): 5}, 'bpeDecode', 'l'),
            (pyvaskor.neDecode, (), {FadingKey('bytes'): b'\x01', 'l': 1}, 'neDecode', 'bytes'),
        ]
        for fn, args, kwargs, name, param in cases:
            try:
                got = fn(*args, **kwargs)
            except TypeError as e:
                got = str(e)
            self.assertEqual(got, name + '() missing 1 required positional argument: ' + param)
        self.assertEqual(pyvaskor.bpeDecode(b'\x14\t', **{'l': 5}), [5, 0, 9])

    def test_interpreter_exceptions_pass_through(self):
        class Fatal(BaseException):
            pass

        class Exhausted(MemoryError):
            pass

        passed = [KeyboardInterrupt, SystemExit, GeneratorExit, MemoryError, Fatal, Exhausted]
        ordinary = [RuntimeError, ArithmeticError, StopIteration]
        for cls in passed + ordinary:
            for fn, make, kind in (
                    (pyvaskor.bpeEncode, lambda r: (values_with(r),), 'int'),
                    (pyvaskor.neEncode, lambda r: (tuple(values_with(r)),), 'int'),
                    (pyvaskor.bpeDecode, lambda r: (values_with(r), 8), 'byte'),
                    (pyvaskor.neDecode, lambda r: (DATA, r), 'int')):
                exc = cls('from the conversion')
                try:
                    fn(*make(Raiser(exc)))
                except BaseException as e:
                    got = e
                else:
                    got = None
                if cls in passed:
                    self.assertIs(got, exc, (fn, cls))
                else:
                    self.assertIs(type(got), TypeError, (fn, cls))
                    self.assertEqual(str(got), 'Cannot convert python object to ' + kind)


class HostileProcess(unittest.TestCase):

    def test_ignored_signal_stays_ignored(self):
        # Ignored before the import (as a background job inherits SIGINT),
        # then both signals sent: the ignored one does nothing, the other
        # still gets the handler.
        for ignored, other in ((signal.SIGINT, signal.SIGFPE), (signal.SIGFPE, signal.SIGINT)):
            code = NO_CORE + (
                'import os, signal, sys, time\n'
                'signal.signal(%d, signal.SIG_IGN)\n'
                'import pyvaskor\n'
                'os.kill(os.getpid(), %d)\n'
                'time.sleep(0.2)\n'
                'sys.stdout.write("survived")\n'
                'sys.stdout.flush()\n'
                'os.kill(os.getpid(), %d)\n'
                'time.sleep(5)\n' % (ignored, ignored, other))
            self.assertEqual(run_child(code), (-other, b'survived', MESSAGE[other]), ignored)

    def test_handler_does_not_wait_for_the_stderr_lock(self):
        # Another thread holds the C stream's lock, as crashed code may; a
        # handler that took it would hang until the alarm ends the process.
        code = NO_CORE + (
            'import ctypes, signal, threading, time\n'
            'import pyvaskor\n'
            'libc = ctypes.CDLL(None)\n'
            'stream = ctypes.c_void_p.in_dll(libc, "stderr")\n'
            'held = threading.Event()\n'
            'def hold():\n'
            '    libc.flockfile(stream)\n'
            '    held.set()\n'
            '    time.sleep(60)\n'
            't = threading.Thread(target=hold)\n'
            't.daemon = True\n'
            't.start()\n'
            'held.wait(30)\n'
            'signal.alarm(60)\n'
            'getattr(libc, "raise")(signal.SIGINT)\n'
            'time.sleep(30)\n')
        self.assertEqual(run_child(code), (-signal.SIGINT, b'', MESSAGE[signal.SIGINT]))


if __name__ == '__main__':
    unittest.main()
