"""Importing pyvaskor: the module, its exception class, and init entries
called more than once in one process."""

import os
import subprocess
import sys
import unittest

import pyvaskor
import support

PY3 = sys.version_info[0] >= 3


class ImportTest(unittest.TestCase):

    def test_name_and_doc(self):
        self.assertEqual(pyvaskor.__name__, 'pyvaskor')
        self.assertEqual(pyvaskor.__doc__, '')

    def test_loaded_from_the_build(self):
        self.assertEqual(os.path.basename(pyvaskor.__file__), 'pyvaskor.so')

    def test_exception_class(self):
        cls = pyvaskor.NimPyException
        self.assertTrue(isinstance(cls, type))
        self.assertEqual(cls.__name__, 'NimPyException')
        self.assertEqual(cls.__module__, 'nimpy')
        self.assertTrue(issubclass(cls, Exception))
        self.assertIs(cls.__bases__[0], Exception)
        try:
            raise cls('raised from Python')
        except Exception as e:
            self.assertIs(type(e), cls)
            self.assertEqual(str(e), 'raised from Python')

    def test_importing_again_is_harmless(self):
        import pyvaskor as again
        self.assertIs(again, pyvaskor)
        self.assertIs(__import__('pyvaskor'), pyvaskor)
        self.assertIs(again.NimPyException, pyvaskor.NimPyException)

    def test_fresh_interpreter_imports_cleanly(self):
        # A loader failure would end this process; here it would show as a
        # non-zero status and a report on standard error.
        code = ('import pyvaskor, sys; import pyvaskor as p; '
                'sys.stdout.write(p.__name__ + " " + p.NimPyException.__module__)')
        proc = subprocess.Popen([sys.executable, '-c', code], stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, universal_newlines=True)
        out, err = proc.communicate()
        self.assertEqual(proc.returncode, 0, err)
        self.assertEqual(out, 'pyvaskor nimpy')
        self.assertEqual(err, '')


def load_init_entries():
    try:
        import ctypes
    except ImportError:
        return None
    return ctypes, ctypes.PyDLL(os.path.abspath(pyvaskor.__file__))


@support.needs_cpython('ctypes.PyDLL')
class SecondInitTest(unittest.TestCase):
    """The host's init entry called again in the same process, as an
    embedding application may do: the loaded table is reused and a new
    module and exception class are made."""

    def setUp(self):
        loaded = load_init_entries()
        if loaded is None:
            self.skipTest('ctypes is not available')
        self.ctypes, self.lib = loaded

    @unittest.skipUnless(PY3, 'Python 3 init entry')
    def test_python3_entry_makes_a_new_module(self):
        init = self.lib.PyInit_pyvaskor
        init.restype = self.ctypes.py_object
        first_class = pyvaskor.NimPyException
        module = init()
        self.assertIsNot(module, pyvaskor)
        self.assertEqual(module.__name__, 'pyvaskor')
        self.assertEqual(module.__doc__, '')
        self.assertEqual(module.NimPyException.__module__, 'nimpy')
        self.assertIsNot(module.NimPyException, first_class)
        # The imported module keeps its own class, and the same functions.
        self.assertIs(pyvaskor.NimPyException, first_class)
        self.assertEqual(sorted(n for n in dir(module) if not n.startswith('_')),
                         sorted(n for n in dir(pyvaskor) if not n.startswith('_')))
        again = init()
        self.assertIsNot(again, module)

    @unittest.skipIf(PY3, 'Python 2 init entry')
    def test_python2_entry_refills_the_module(self):
        init = self.lib.initpyvaskor
        init.restype = None
        first_class = pyvaskor.NimPyException
        names = sorted(n for n in dir(pyvaskor) if not n.startswith('_'))
        init()
        module = sys.modules['pyvaskor']
        self.assertIs(module, pyvaskor)
        self.assertIsNot(module.NimPyException, first_class)
        self.assertEqual(module.NimPyException.__module__, 'nimpy')
        self.assertEqual(sorted(n for n in dir(module) if not n.startswith('_')), names)


if __name__ == '__main__':
    unittest.main()
