"""Process hooks met by real faults rather than by signals sent from
outside: a read through a null pointer, the C library's abort, and a
signal taken on a thread that is busy inside the module. Each prints the
handler's message, writes nothing to standard output and ends the process
by its signal."""

import os
import signal
import subprocess
import sys
import unittest

import pyvaskor
import support

NO_CORE = 'import resource\nresource.setrlimit(resource.RLIMIT_CORE, (0, 0))\n'
SEGV = b'SIGSEGV: Illegal storage access. (Attempt to read from nil?)\n'
ABRT = b'SIGABRT: Abnormal termination.\n'
FPE = b'SIGFPE: Arithmetic error.\n'
MODULE_DIR = os.path.dirname(os.path.abspath(pyvaskor.__file__))


def run_child(code):
    env = dict(os.environ)
    env.pop('PYTHONFAULTHANDLER', None)
    env['PYTHONPATH'] = os.pathsep.join([MODULE_DIR] + [p for p in [env.get('PYTHONPATH')] if p])
    proc = subprocess.Popen([sys.executable, '-c', NO_CORE + code], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, env=env,
                            preexec_fn=support.default_signals)
    out, err = proc.communicate()
    return proc.returncode, out, err


class RealFaults(unittest.TestCase):

    def test_read_through_a_null_pointer(self):
        code = ('import ctypes, sys, pyvaskor\n'
                'pyvaskor.bpeEncode([1, 2, 3])\n'
                'ctypes.string_at(8, 8)\n'
                'sys.stdout.write("survived")\n')
        self.assertEqual(run_child(code), (-signal.SIGSEGV, b'', SEGV))

    def test_abort(self):
        code = ('import os, sys, pyvaskor\n'
                'os.abort()\n'
                'sys.stdout.write("survived")\n')
        self.assertEqual(run_child(code), (-signal.SIGABRT, b'', ABRT))

    @unittest.skipIf(sys.version_info < (3, 3), 'needs signal.pthread_kill')
    def test_signal_on_a_busy_worker_thread(self):
        # The handler runs on whichever thread takes the signal.
        code = ('import signal, sys, threading, time, pyvaskor\n'
                'busy = threading.Event()\n'
                'def work():\n'
                '    values = list(range(5000))\n'
                '    while True:\n'
                '        pyvaskor.neDecode(*pyvaskor.neEncode(values))\n'
                '        busy.set()\n'
                't = threading.Thread(target=work)\n'
                't.daemon = True\n'
                't.start()\n'
                'if not busy.wait(60):\n'
                '    sys.exit("the worker never ran")\n'
                'signal.pthread_kill(t.ident, signal.SIGFPE)\n'
                'time.sleep(30)\n'
                'sys.stdout.write("survived")\n')
        self.assertEqual(run_child(code), (-signal.SIGFPE, b'', FPE))


if __name__ == '__main__':
    unittest.main()
