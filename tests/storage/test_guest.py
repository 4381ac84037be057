"""The codecs as guests of the process that reads data: reading a zarr
array (zarr 2 through numcodecs, zarr 3 through its own codec, whichever
this host has) leaves Ctrl-C raising KeyboardInterrupt and faulthandler
reporting crashes; importing the codecs sets no signal handler at all; and
their frame failures pickle into processes that load nothing else."""

import json
import signal
import subprocess
import unittest

from support import CHILD_TIMEOUT, REGISTER, needs, run_fresh, start_fresh, temp_dir

# Writes an int64 array with the default codec of the zarr this host has.
WRITE = REGISTER + """
import sys, numpy as np, zarr
path = sys.argv[1]
a = np.arange(400000, dtype='int64') * 3
if int(zarr.__version__.split('.')[0]) >= 3:
    z = zarr.create_array(store=path, shape=a.shape, chunks=(20000,), dtype=a.dtype,
                          serializer={'name': 'pyvaskor'}, compressors=None)
else:
    import numcodecs
    z = zarr.open(path, mode='w', shape=a.shape, chunks=(20000,), dtype=a.dtype,
                  compressor=numcodecs.get_codec({'id': 'pyvaskor'}))
z[:] = a
"""
# Reads it over and over until interrupted, then aborts.
READ = REGISTER + """
import faulthandler, os, signal, sys, zarr
faulthandler.enable()
z = zarr.open(sys.argv[1], mode='r')
assert int(z[:].sum()) == 3 * 399999 * 400000 // 2
try:
    # Ready inside the try: the parent interrupts once it reads this.
    print(signal.getsignal(signal.SIGINT) is signal.default_int_handler,
          ' '.join(sorted(m for m in sys.modules if m.startswith('pyvaskor'))), flush=True)
    while True:
        z[:]
except KeyboardInterrupt:
    print('KeyboardInterrupt', flush=True)
os.abort()
"""
# The C library's view of the handlers, which signal.getsignal does not
# see: sa_handler leads glibc's struct sigaction.
HANDLERS = """
import ctypes, importlib, json, signal, sys
libc = ctypes.CDLL(None, use_errno=True)
def handlers():
    found = []
    for sig in (signal.SIGINT, signal.SIGSEGV, signal.SIGABRT, signal.SIGFPE, signal.SIGILL,
                signal.SIGPIPE):
        action = ctypes.create_string_buffer(256)
        assert libc.sigaction(int(sig), None, action) == 0
        found.append(ctypes.c_void_p.from_buffer(action).value)
    return found
before = handlers()
for name in sys.argv[1:]:
    importlib.import_module(name)
import numcodecs, numpy as np
codec = numcodecs.get_codec({'id': 'pyvaskor', 'layout': 'ne'})
codec.decode(codec.encode(np.arange(10)))
after = handlers()
import pyvaskor
print(json.dumps([before == after, 'pyvaskor' in sys.modules and sys.argv[1:],
                  before == handlers()]))
"""
PICKLE = REGISTER + """
import json, pickle, numcodecs, numpy as np
codec = numcodecs.get_codec({'id': 'pyvaskor', 'layout': 'bpe'})
frame = codec.encode(np.arange(10))
found = []
for bad in (frame[:-1], frame[:4] + b'\\x07' + frame[5:]):
    try:
        codec.decode(bad)
    except ValueError as e:
        found.append(pickle.dumps(e).hex())
print(json.dumps(found))
"""
UNPICKLE = """
import json, pickle, sys
found = [pickle.loads(bytes.fromhex(h)) for h in json.loads(sys.argv[1])]
print(json.dumps([[type(e).__module__, type(e).__name__, str(e), isinstance(e, ValueError)]
                  for e in found] + [sorted(m for m in sys.modules if m.startswith('pyvaskor'))]))
"""


@needs("numpy", "zarr", "numcodecs", "pyvaskor_frames")
class GuestTest(unittest.TestCase):

    def test_ctrl_c_during_a_read_raises_keyboard_interrupt(self):
        path = temp_dir() + "/a.zarr"
        run_fresh(WRITE, path)
        proc = start_fresh(READ, path, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        try:
            ready = proc.stdout.readline().split()
            proc.send_signal(signal.SIGINT)
            out, err = proc.communicate(timeout=CHILD_TIMEOUT)
        finally:
            if proc.poll() is None:
                proc.kill()
        self.assertEqual(ready[0], "True", err)
        self.assertNotIn("pyvaskor", ready[1:])
        self.assertTrue(set(ready[1:]) & {"pyvaskor_numcodecs", "pyvaskor_zarr"}, ready)
        self.assertEqual(out.strip(), "KeyboardInterrupt", err)
        self.assertEqual(proc.returncode, -signal.SIGABRT, err)
        self.assertIn("Fatal Python error: Aborted", err)

    def test_imports_set_no_signal_handler(self):
        modules = ["pyvaskor_frames", "pyvaskor_numcodecs"]
        import zarr
        if int(zarr.__version__.split(".")[0]) >= 3:
            modules.append("pyvaskor_zarr")
        same, loaded, same_after_module = json.loads(run_fresh(HANDLERS, *modules).splitlines()[-1])
        self.assertTrue(same)
        self.assertEqual(loaded, modules)
        # The check sees handlers: the module's own start-up changes them.
        self.assertFalse(same_after_module)

    def test_frame_errors_pickle_into_a_bare_process(self):
        pickled = run_fresh(PICKLE).splitlines()[-1]
        corrupt, newer, loaded = json.loads(run_fresh(UNPICKLE, pickled).splitlines()[-1])
        self.assertEqual(corrupt, ["pyvaskor_errors", "FrameError",
                                   "frame payload is 4 bytes, count and width need 5", True])
        self.assertEqual(newer[:2] + newer[3:], ["pyvaskor_errors", "FrameVersionError", True])
        self.assertRegex(newer[2], r"^frame version 7 is newer than this library reads \(\d\)$")
        self.assertEqual(loaded, ["pyvaskor_errors"])


if __name__ == "__main__":
    unittest.main()
