"""What loading the module does to the process, seen from a child of the
same interpreter: the signal handler's message and death by the signal,
writes to a closed pipe failing instead of killing, the out-of-memory
stop, and results that do not depend on the calling thread."""

import os
import signal
import subprocess
import sys
import threading
import unittest

import pyvaskor
import support

NO_CORE = 'import resource\nresource.setrlimit(resource.RLIMIT_CORE, (0, 0))\n'

SIGNAL_MESSAGES = [
    (signal.SIGINT, b'SIGINT: Interrupted by Ctrl-C.\n'),
    (signal.SIGSEGV, b'SIGSEGV: Illegal storage access. (Attempt to read from nil?)\n'),
    (signal.SIGABRT, b'SIGABRT: Abnormal termination.\n'),
    (signal.SIGFPE, b'SIGFPE: Arithmetic error.\n'),
    (signal.SIGILL, b'SIGILL: Illegal operation.\n'),
]


def run_child(code):
    env = dict(os.environ)
    env.pop('PYTHONFAULTHANDLER', None)
    proc = subprocess.Popen([sys.executable, '-c', code], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, env=env,
                            preexec_fn=support.default_signals)
    out, err = proc.communicate()
    return proc.returncode, out, err


class SignalTest(unittest.TestCase):

    def test_each_signal_prints_its_message_and_kills(self):
        for signum, message in SIGNAL_MESSAGES:
            code = NO_CORE + (
                'import os, sys, time\n'
                'import pyvaskor\n'
                'os.kill(os.getpid(), %d)\n'
                'time.sleep(5)\n'
                'sys.stdout.write("survived")\n' % signum)
            rc, out, err = run_child(code)
            self.assertEqual((rc, out, err), (-signum, b'', message), signum)

    def test_interrupt_while_the_module_is_working(self):
        # The interrupt comes from another process: a thread of this one
        # would first need the interpreter lock that the loop keeps taking,
        # which a loaded machine may keep from it for long.
        code = (
            'import os, signal, sys, time, pyvaskor\n'
            'parent = os.getpid()\n'
            'if os.fork() == 0:\n'
            '    time.sleep(0.2)\n'
            '    os.kill(parent, signal.SIGINT)\n'
            '    os._exit(0)\n'
            'values = list(range(1000))\n'
            'give_up = time.time() + 300\n'
            'while time.time() < give_up:\n'
            '    pyvaskor.bpeDecode(*pyvaskor.bpeEncode(values))\n'
            'sys.stdout.write("survived")\n')
        rc, out, err = run_child(code)
        self.assertEqual((rc, out, err), (-signal.SIGINT, b'', SIGNAL_MESSAGES[0][1]))


class BrokenPipeTest(unittest.TestCase):
    CODE = (
        'import errno, os, signal, sys\n'
        'signal.signal(signal.SIGPIPE, signal.SIG_DFL)\n'
        '%s\n'
        'r, w = os.pipe()\n'
        'os.close(r)\n'
        'try:\n'
        '    os.write(w, b"x")\n'
        'except OSError as e:\n'
        '    sys.stdout.write("EPIPE" if e.errno == errno.EPIPE else "other")\n')

    def test_write_to_closed_pipe_fails_instead(self):
        self.assertEqual(run_child(self.CODE % 'import pyvaskor'), (0, b'EPIPE', b''))

    def test_without_the_module_the_same_write_kills(self):
        rc, out, _ = run_child(self.CODE % 'pass')
        self.assertEqual((rc, out), (-signal.SIGPIPE, b''))


class OutOfMemoryTest(unittest.TestCase):

    # The sanitizer's operator new ends the process with its own report
    # instead of failing the allocation.
    @unittest.skipIf('libasan' in os.environ.get('LD_PRELOAD', ''), 'sanitizer run')
    # A user-mode emulator accepts an address-space limit without applying it.
    @unittest.skipIf(os.environ.get('VASKOR_EMULATOR'), 'address-space limit not applied under emulation')
    def test_native_sequence_that_cannot_be_had(self):
        # The address space left is well below the 24 MB native copy.
        code = (
            'import resource, sys\n'
            'import pyvaskor\n'
            'values = list(range(3000000))\n'
            'with open("/proc/self/statm") as f:\n'
            '    size = int(f.read().split()[0]) * resource.getpagesize()\n'
            'limit = size + 8 * 2 ** 20\n'
            'resource.setrlimit(resource.RLIMIT_AS, (limit, limit))\n'
            'pyvaskor.neEncode(values)\n'
            'sys.stdout.write("survived")\n')
        self.assertEqual(run_child(code), (1, b'', b'out of memory\n'))


def all_four(seed):
    values = [seed * 7919 % 1000003 - 500, seed, -seed, 2 ** 40 + seed, 0]
    out = []
    for encode, decode in ((pyvaskor.bpeEncode, pyvaskor.bpeDecode),
                           (pyvaskor.neEncode, pyvaskor.neDecode)):
        packed, width = encode(values)
        out.append((packed, width, decode(packed, width), decode(list(bytearray(packed)), 3)))
    try:
        out.append(pyvaskor.bpeDecode(b'\x01', -seed - 1))
    except Exception as e:
        # By name: a later init call gives failures a new base class.
        out.append((type(e).__module__, type(e).__name__, str(e)))
    return out


class ThreadTest(unittest.TestCase):

    def test_threads_see_the_same_results(self):
        seeds = range(200)
        expected = [all_four(s) for s in seeds]
        results = {}

        def work(name):
            results[name] = [all_four(s) for s in seeds]

        threads = [threading.Thread(target=work, args=(i,)) for i in range(6)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual(sorted(results), list(range(6)))
        for name in results:
            self.assertEqual(results[name], expected, name)


if __name__ == '__main__':
    unittest.main()
