"""Argument checking with optional parameters, which the four module
functions cannot reach: the test-only module _vaskor_argcheck offers
f(n, base, step), n required, built from the same binding code. f returns
(n, base, step) with None for each parameter it did not get."""

import ctypes
import os
import re
import subprocess
import sys
import unittest

import support

import _vaskor_argcheck

f = _vaskor_argcheck.f
PY3 = sys.version_info[0] >= 3


def type_error(*args, **kwargs):
    return support.type_error(f, *args, **kwargs)


def call_with_dict(args, kwargs):
    """Hands f the keyword dictionary unchecked, as a C caller could."""
    call = ctypes.pythonapi.PyObject_Call
    call.restype = ctypes.py_object
    call.argtypes = [ctypes.py_object, ctypes.py_object, ctypes.py_object]
    return call(f, tuple(args), kwargs)


def run_child(code):
    proc = subprocess.Popen([sys.executable, '-c', code], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
    out, err = proc.communicate()
    return proc.returncode, out, err


class MessagesTest(unittest.TestCase):

    def test_count_says_exactly_all_parameters(self):
        self.assertEqual(type_error(), 'f() takes exactly 3 arguments (0 given)')
        self.assertEqual(type_error(1, 2, 3, 4), 'f() takes exactly 3 arguments (4 given)')
        self.assertEqual(type_error(1, 2, 3, step=4), 'f() takes exactly 3 arguments (4 given)')

    def test_missing_required(self):
        self.assertEqual(type_error(base=2), 'f() missing 1 required positional argument: n')
        self.assertEqual(type_error(base=2, step=3, zz=4),
                         'f() missing 1 required positional argument: n')

    def test_multiple_values(self):
        self.assertEqual(type_error(1, n=2), 'f() got multiple values for argument n')
        self.assertEqual(type_error(1, 2, base=3), 'f() got multiple values for argument base')
        # The duplicate is found before the unknown keyword.
        self.assertEqual(type_error(1, zz=2, n=3), 'f() got multiple values for argument n')

    def test_unexpected_keyword(self):
        self.assertEqual(type_error(1, base=2, zz=3), 'f() got an unexpected keyword argument zz')
        self.assertEqual(type_error(1, zz=3), 'f() got an unexpected keyword argument zz')
        self.assertIn(type_error(1, yy=2, zz=3),
                      ('f() got an unexpected keyword argument yy',
                       'f() got an unexpected keyword argument zz'))

    @unittest.skipIf(support.PYPY and not PY3,
                     'PyPy 2.7 crashes stepping a dict with a non-ASCII unicode key from C')
    def test_unexpected_keyword_text_is_utf8(self):
        e_acute = u'\xe9'
        msg = type_error(1, **{e_acute: 2})
        if PY3:
            self.assertEqual(msg, u'f() got an unexpected keyword argument \xe9')
        else:
            self.assertEqual(msg, 'f() got an unexpected keyword argument \xc3\xa9')
            self.assertEqual(type_error(1, **{'\xc3\xa9': 2}), msg)


class AcceptedTest(unittest.TestCase):

    def test_parameters_by_position_or_keyword(self):
        self.assertEqual(f(1), (1, None, None))
        self.assertEqual(f(1, step=3), (1, None, 3))
        self.assertEqual(f(1, 2), (1, 2, None))
        self.assertEqual(f(1, 2, 3), (1, 2, 3))
        self.assertEqual(f(1, base=2, step=3), (1, 2, 3))
        self.assertEqual(f(step=3, n=1), (1, None, 3))
        self.assertEqual(f(n=1, base=2, step=3), (1, 2, 3))

    def test_keys_of_text_subclasses_and_unicode(self):
        class Key(str):
            pass
        self.assertEqual(f(1, **{Key('step'): 3}), (1, None, 3))
        self.assertEqual(f(1, **{u'base': 2}), (1, 2, None))

    @support.needs_cpython('ctypes.pythonapi')
    def test_empty_keyword_dict(self):
        self.assertEqual(call_with_dict([1], {}), (1, None, None))

    def test_conversion_after_checking(self):
        self.assertEqual(type_error(1, step='x'), 'Cannot convert python object to int')

    @unittest.skipUnless(PY3, 'byte-string keys are text on Python 2')
    @support.needs_cpython('ctypes.pythonapi')
    def test_byte_string_key_names_no_parameter_on_python3(self):
        try:
            call_with_dict([1], {b'base': 2})
        except TypeError as e:
            self.assertEqual(str(e), 'f() got an unexpected keyword argument base')
        else:
            self.fail('no TypeError')


class UnconvertibleKeyTest(unittest.TestCase):
    """A key that cannot become text fails before the call's handlers: the
    process ends with the two-line report and status 1."""

    def check_report(self, code, message):
        rc, out, err = run_child(code)
        self.assertEqual(rc, 1, err)
        self.assertEqual(out, b'')
        lines = err.decode('utf-8', 'replace').split('\n')
        self.assertEqual(len(lines), 3, err)
        self.assertEqual(lines[2], '')
        # The raise site by its path in the project.
        self.assertTrue(re.match(r'pybinding/\w+\.cpp\(\d+\) +\w', lines[0]), lines[0])
        self.assertEqual(lines[1], 'Error: unhandled exception: ' + message + ' [ValueError]')

    @support.needs_cpython('ctypes.pythonapi')
    def test_key_that_is_not_text(self):
        code = ('import ctypes, _vaskor_argcheck\n'
                'call = ctypes.pythonapi.PyObject_Call\n'
                'call.restype = ctypes.py_object\n'
                'call.argtypes = [ctypes.py_object] * 3\n'
                'call(_vaskor_argcheck.f, (1,), {5: 2})\n'
                'print("survived")\n')
        self.check_report(code, "Can't convert python obj of type 'int' to string")

    @unittest.skipUnless(PY3, 'Python 2 encodes lone surrogates')
    def test_text_without_utf8_form(self):
        code = ('import _vaskor_argcheck\n'
                '_vaskor_argcheck.f(1, **{"\\udc80": 2})\n'
                'print("survived")\n')
        self.check_report(code, "Can't convert python obj to string")


if __name__ == '__main__':
    unittest.main()
