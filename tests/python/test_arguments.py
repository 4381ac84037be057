"""Argument checking of the four functions: counts first, then the
parameters the positional arguments leave open, in the interpreter's own
wording; every accepted call form gives the same result."""

import ctypes
import unittest

import pyvaskor
import support
from support import type_error

ENCODERS = ('bpeEncode', 'neEncode')
DECODERS = ('bpeDecode', 'neDecode')


def call_with_dict(fn, args, kwargs):
    """Hands the keyword dictionary to the function as it is, even empty."""
    call = ctypes.pythonapi.PyObject_Call
    call.restype = ctypes.py_object
    call.argtypes = [ctypes.py_object, ctypes.py_object, ctypes.py_object]
    return call(fn, tuple(args), kwargs)


class CountTest(unittest.TestCase):

    def test_encoders(self):
        for name in ENCODERS:
            fn = getattr(pyvaskor, name)
            self.assertEqual(type_error(fn), name + '() takes exactly 1 arguments (0 given)')
            self.assertEqual(type_error(fn, [1], [2]),
                             name + '() takes exactly 1 arguments (2 given)')
            # The count comes before any name test.
            self.assertEqual(type_error(fn, [1], a=[1]),
                             name + '() takes exactly 1 arguments (2 given)')
            self.assertEqual(type_error(fn, x=[1], y=[2]),
                             name + '() takes exactly 1 arguments (2 given)')

    def test_decoders(self):
        for name in DECODERS:
            fn = getattr(pyvaskor, name)
            self.assertEqual(type_error(fn), name + '() takes exactly 2 arguments (0 given)')
            self.assertEqual(type_error(fn, b''), name + '() takes exactly 2 arguments (1 given)')
            self.assertEqual(type_error(fn, l=1), name + '() takes exactly 2 arguments (1 given)')
            self.assertEqual(type_error(fn, b'', 1, 2),
                             name + '() takes exactly 2 arguments (3 given)')
            self.assertEqual(type_error(fn, b'', 1, l=2),
                             name + '() takes exactly 2 arguments (3 given)')


class MissingParameterTest(unittest.TestCase):

    def test_encoder_with_a_wrong_keyword(self):
        for name in ENCODERS:
            self.assertEqual(type_error(getattr(pyvaskor, name), x=[1]),
                             name + '() missing 1 required positional argument: a')

    def test_decoders_walk_only_what_positions_leave_open(self):
        for name in DECODERS:
            fn = getattr(pyvaskor, name)
            missing_l = name + '() missing 1 required positional argument: l'
            self.assertEqual(type_error(fn, b'', bytes=b''), missing_l)
            self.assertEqual(type_error(fn, b'', zz=1), missing_l)
            self.assertEqual(type_error(fn, l=1, zz=b''),
                             name + '() missing 1 required positional argument: bytes')
            self.assertEqual(type_error(fn, bytes=b'', zz=1), missing_l)

    def test_bad_arguments_are_not_converted(self):
        # "bytes" would fail conversion, but the count fails first.
        self.assertEqual(type_error(pyvaskor.bpeDecode, 'not bytes'),
                         'bpeDecode() takes exactly 2 arguments (1 given)')


class AcceptedFormsTest(unittest.TestCase):

    def test_every_form_gives_the_same_result(self):
        data = b'\x14\x09'
        for name, width in (('bpeDecode', 5), ('neDecode', 1)):
            fn = getattr(pyvaskor, name)
            expected = fn(data, width)
            self.assertEqual(fn(data, l=width), expected)
            self.assertEqual(fn(bytes=data, l=width), expected)
            self.assertEqual(fn(l=width, bytes=data), expected)
        for name in ENCODERS:
            fn = getattr(pyvaskor, name)
            self.assertEqual(fn(a=[5, 0, 9]), fn([5, 0, 9]))

    @support.needs_cpython('ctypes.pythonapi')
    def test_empty_keyword_dict_is_like_none(self):
        for name in ENCODERS:
            fn = getattr(pyvaskor, name)
            self.assertEqual(call_with_dict(fn, [[1, 2, 3]], {}), fn([1, 2, 3]))
            try:
                call_with_dict(fn, [], {})
            except TypeError as e:
                self.assertEqual(str(e), name + '() takes exactly 1 arguments (0 given)')
            else:
                self.fail('no TypeError')
        self.assertEqual(call_with_dict(pyvaskor.neDecode, [b'\x01\x02', 1], {}), [1, 2])

    def test_functions_take_keywords_and_have_no_doc(self):
        for name in ENCODERS + DECODERS:
            self.assertIsNone(getattr(pyvaskor, name).__doc__)


if __name__ == '__main__':
    unittest.main()
