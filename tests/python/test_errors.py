"""Failures inside a codec call reach Python as exceptions of a class made
for that failure, named after its kind in module nimpy and derived from the
module's NimPyException."""

import subprocess
import sys
import unittest

import pyvaskor
import support
from support import PYPY

PREFIX = 'Unexpected error encountered: '
CHECK_TEXT = 'bpe(76, 18) `item.parseBin(iitem) == rl` '


def codec_failure(fn, *args):
    try:
        fn(*args)
    except pyvaskor.NimPyException as e:
        return e
    raise AssertionError('no module exception')


class ExceptionClassTest(unittest.TestCase):

    def test_base_class(self):
        base = pyvaskor.NimPyException
        self.assertEqual(base.__name__, 'NimPyException')
        self.assertEqual(base.__module__, 'nimpy')
        self.assertTrue(issubclass(base, Exception))

    def check_failure(self, e, kind, msg):
        cls = type(e)
        self.assertEqual(cls.__name__, kind)
        self.assertEqual(cls.__module__, 'nimpy')
        self.assertTrue(issubclass(cls, pyvaskor.NimPyException))
        self.assertIsNot(cls, pyvaskor.NimPyException)
        self.assertEqual(str(e), PREFIX + msg)
        # Never one of Python's own classes.
        for builtin in (ValueError, AssertionError, TypeError, ArithmeticError):
            self.assertFalse(issubclass(cls, builtin))

    def test_failed_consistency_check(self):
        for data in (b'\x01', b'\x14\x09', [1, 2], (255,)):
            e = codec_failure(pyvaskor.bpeDecode, data, -1)
            self.check_failure(e, 'AssertionDefect', CHECK_TEXT)
        e = codec_failure(pyvaskor.bpeDecode, b'\x14\x09', -3)
        self.check_failure(e, 'AssertionDefect', CHECK_TEXT)

    def test_widths_that_cannot_be_used(self):
        e = codec_failure(pyvaskor.bpeDecode, b'\x00\x14', 0)
        self.check_failure(e, 'ValueError', 'bit width must be positive, got 0')
        e = codec_failure(pyvaskor.neDecode, b'\x00\x14', 0)
        self.check_failure(e, 'ValueError', 'byte width must be positive, got 0')
        for l in (-1, -8, -2 ** 63):
            e = codec_failure(pyvaskor.neDecode, b'\x01\x02', l)
            self.check_failure(e, 'ValueError', 'byte width must be positive, got %d' % l)

    def test_every_failure_gets_a_class_of_its_own(self):
        # PyPy never reclaims a class: there each kind has one, made once.
        first = codec_failure(pyvaskor.bpeDecode, b'\x01', -1)
        second = codec_failure(pyvaskor.bpeDecode, b'\x01', -1)
        (self.assertIs if PYPY else self.assertIsNot)(type(first), type(second))
        self.assertEqual(type(first).__name__, type(second).__name__)
        for e in (first, second):
            try:
                raise e
            except pyvaskor.NimPyException:
                pass

    def test_no_partial_result_and_calls_go_on(self):
        self.assertRaises(pyvaskor.NimPyException, pyvaskor.bpeDecode, b'\x01', -1)
        self.assertEqual(pyvaskor.bpeDecode(b'\x14\x09', 5), [5, 0, 9])


@support.needs_cpython('ctypes.PyDLL')
class LaterInitTest(unittest.TestCase):

    @unittest.skipIf(sys.version_info[0] < 3, 'Python 2 refills the one module')
    def test_failures_outlive_a_dropped_module_of_a_later_init(self):
        # The newest module's class is the base; the module itself may go.
        code = (
            'import ctypes, gc, pyvaskor\n'
            'init = ctypes.PyDLL(pyvaskor.__file__).PyInit_pyvaskor\n'
            'init.restype = ctypes.py_object\n'
            'init()\n'
            'gc.collect()\n'
            'for _ in range(200):\n'
            '    try:\n'
            '        pyvaskor.bpeDecode(b"\\x01", -1)\n'
            '    except Exception as e:\n'
            '        got = (type(e).__name__, type(e).__mro__[1].__name__, str(e))\n'
            'print(got)\n')
        proc = subprocess.Popen([sys.executable, '-c', code], stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)
        out, err = proc.communicate()
        self.assertEqual((proc.returncode, err), (0, b''))
        self.assertEqual(out.decode().strip(),
                         repr(('AssertionDefect', 'NimPyException', PREFIX + CHECK_TEXT)))


if __name__ == '__main__':
    unittest.main()
