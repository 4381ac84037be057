"""The leak check at exit with the module's dynamic TLS block (its
thread_locals, malloc'ed by the loader on first use) at each place in a
page the allocator may give it: a child mallocs K blocks of that size
before it imports and calls the module (and frees them after), for every K
below PLACES. One K puts the block 16 bytes into a page, where GCC 12's
runtime misreads its bounds, and its leak check dies, unless told not to
guess them (sanitizer_env in python_pair.py).

Run by python_pair.py --sanitize, in the sanitizer's environment.
"""

import struct
import subprocess

PT_TLS = 7
# Chunks of 64 bytes (the block's size class) fall on 64 places in a page.
PLACES = 64

CHILD = ("import ctypes, sys\n"
         "libc = ctypes.CDLL(None)\n"
         "libc.malloc.restype = ctypes.c_void_p\n"
         "kept = [libc.malloc(int(sys.argv[2])) for _ in range(int(sys.argv[1]))]\n"
         "import pyvaskor\n"
         "assert pyvaskor.bpeEncode([1, 2, 3]) == (b'\\x00\\x53', 3)\n"
         "libc.free.argtypes = [ctypes.c_void_p]\n"
         "for block in kept:\n"
         "    libc.free(block)\n")


def tls_size(library):
    """The size of the library's TLS segment (ELF64, little-endian)."""
    with open(library, "rb") as f:
        data = f.read()
    phoff, = struct.unpack_from("<Q", data, 0x20)
    phentsize, phnum = struct.unpack_from("<HH", data, 0x36)
    for i in range(phnum):
        at = phoff + i * phentsize
        if struct.unpack_from("<I", data, at)[0] == PT_TLS:
            return struct.unpack_from("<Q", data, at + 0x28)[0]
    return 0


def leak_check_survives(python, module, env):
    """True when every child ends cleanly; prints the first that does not."""
    size = tls_size(module)
    if size == 0:
        print("%s has no TLS segment: nothing to place" % module)
        return True
    for kept in range(PLACES):
        child = subprocess.Popen([python, "-c", CHILD, str(kept), str(size)], env=env,
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        err = child.communicate()[1].decode("utf-8", "replace")
        if child.returncode != 0 or err:
            print("module TLS block after %d blocks of %d bytes under %s (exit %d):\n%s"
                  % (kept, size, python, child.returncode, err))
            return False
    return True
