"""Argument checking of every module function: counts first, then the
parameters the positional arguments leave open, in the interpreter's own
wording; every accepted call form gives the same result."""

import ctypes
import unittest

import module_calls
import pyvaskor
import support
from support import type_error

# The list functions, which have no doc: encoders take a, decoders bytes and l.
LIST_FUNCTIONS = [(n, c) for n, _, c in module_calls.functions() if not c.documented]
ENCODERS = tuple(n for n, c in LIST_FUNCTIONS if c.params == ('a',))
DECODERS = tuple(n for n, c in LIST_FUNCTIONS if c.params == ('bytes', 'l'))


def call_with_dict(fn, args, kwargs):
    """Hands the keyword dictionary to the function as it is, even empty."""
    call = ctypes.pythonapi.PyObject_Call
    call.restype = ctypes.py_object
    call.argtypes = [ctypes.py_object, ctypes.py_object, ctypes.py_object]
    return call(fn, tuple(args), kwargs)


class CountTest(unittest.TestCase):

    def test_counts(self):
        for name, fn, calls in module_calls.functions():
            n = len(calls.params)
            self.assertEqual(type_error(fn), name + '() takes exactly %d arguments (0 given)' % n)
            too_many = calls.all_args() + (1,)
            self.assertEqual(type_error(fn, *too_many),
                             name + '() takes exactly %d arguments (%d given)' % (n, n + 1))
            # The count comes before any name test.
            first = calls.params[0]
            self.assertEqual(type_error(fn, *too_many[1:], **{first: too_many[0]}),
                             name + '() takes exactly %d arguments (%d given)' % (n, n + 1), name)
            self.assertEqual(type_error(fn, *calls.all_args()[:-1], x=1, y=2),
                             name + '() takes exactly %d arguments (%d given)' % (n, n + 1), name)

    def test_list_decoders(self):
        for name in DECODERS:
            fn = getattr(pyvaskor, name)
            self.assertEqual(type_error(fn, b''), name + '() takes exactly 2 arguments (1 given)')
            self.assertEqual(type_error(fn, l=1), name + '() takes exactly 2 arguments (1 given)')


class MissingParameterTest(unittest.TestCase):

    def test_required_parameter_under_a_wrong_keyword(self):
        for name, fn, calls in module_calls.functions():
            last = calls.params[calls.required - 1]
            given = calls.required_args()[:-1]
            self.assertEqual(type_error(fn, *given, zz=1),
                             '%s() missing 1 required positional argument: %s' % (name, last))

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

    def test_by_keyword_as_by_position(self):
        for name, fn, calls in module_calls.functions():
            expected = fn(*calls.all_args())
            self.assertEqual(fn(**calls.good), expected, name)
            self.assertEqual(fn(*calls.required_args()),
                             fn(**dict((p, calls.good[p]) for p in calls.params[:calls.required])), name)

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

    def test_list_functions_have_no_doc(self):
        self.assertEqual(len(LIST_FUNCTIONS), 4)
        for name, _ in LIST_FUNCTIONS:
            self.assertIsNone(getattr(pyvaskor, name).__doc__)


if __name__ == '__main__':
    unittest.main()
