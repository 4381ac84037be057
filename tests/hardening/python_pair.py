"""Runs Python tests on two interpreters only: the newest Python 3 and
Python 2.7 (VASKOR_HARDENING_PYTHONS=p3,p2 overrides), through the suite
driver tests/python/run_suite.py.

  --heavy      the load tests at full size (PYVASKOR_HEAVY=1)
  --sanitize   the module of a sanitizer build: every interpreter runs with
               the compiler's ASan and UBSan runtimes preloaded, leak
               checking on with the interpreter's own allocations
               suppressed, and Python objects on malloc (3.6+) so the
               sanitizer sees them too. First proves that a leak made by
               native code under an interpreter is still reported, and
               that the leak check survives the module's TLS block
               wherever the heap puts it (tls_offsets.py).

usage: python_pair.py --build-dir DIR --source-dir DIR [--pattern GLOB]
                      [--heavy] [--sanitize]
"""

import argparse
import os
import re
import subprocess
import sys

import tls_offsets


def pick(run_suite):
    chosen = os.environ.get("VASKOR_HARDENING_PYTHONS", "")
    if chosen:
        return [p for p in re.split(r"[,;]", chosen) if p]
    newest3, py27 = None, None
    for python in run_suite.find_interpreters():
        version = run_suite.version_of(python)
        if version is None:
            continue
        key = [int(n) for n in version.split(".")]
        if key[0] == 3 and (newest3 is None or key > newest3[0]):
            newest3 = (key, python)
        elif key[:2] == [2, 7] and py27 is None:
            py27 = python
    return [p for p in (newest3 and newest3[1], py27) if p]


def cache_value(build_dir, name):
    with open(os.path.join(build_dir, "CMakeCache.txt")) as f:
        for line in f:
            if line.startswith(name + ":"):
                return line.split("=", 1)[1].strip()
    raise SystemExit("%s not in %s/CMakeCache.txt" % (name, build_dir))


def sanitizer_env(build_dir, source_dir):
    cxx = cache_value(build_dir, "CMAKE_CXX_COMPILER")
    runtimes = []
    for lib in ("libasan.so", "libubsan.so"):
        path = subprocess.check_output([cxx, "-print-file-name=" + lib],
                                       universal_newlines=True).strip()
        if not os.path.isabs(path):
            raise SystemExit("%s has no %s" % (cxx, lib))
        runtimes.append(path)
    supp = os.path.join(source_dir, "tests", "hardening", "lsan_interpreter.supp")
    return {
        "LD_PRELOAD": " ".join(runtimes),
        # Two frames a stack: the suppressions then see only who called
        # malloc. Failing allocations return null as they would unsanitized.
        # GCC 12's runtime guesses the bounds of a module's dynamic TLS block
        # (the module's thread_locals, malloc'ed by the loader on first use)
        # from the 16 bytes before it whenever the block starts 16 bytes
        # into a page: one block in 64, by the heap's history. Those bytes
        # are the allocator's chunk header, so the leak check scanned from
        # an allocation-stack id (0x1e5...) and died. Without the guess no
        # range is added to the leak check's roots: it can only report
        # more, never less.
        "ASAN_OPTIONS": "detect_leaks=1:malloc_context_size=2:allocator_may_return_null=1"
                        ":intercept_tls_get_addr=0",
        "LSAN_OPTIONS": "suppressions=%s:print_suppressions=0" % supp,
        "UBSAN_OPTIONS": "print_stacktrace=1:halt_on_error=1",
        "PYTHONMALLOC": "malloc",
    }


CANARY = ("import ctypes, sys\n"
          "lib = ctypes.CDLL(sys.argv[1])\n"
          "lib.hardening_leak_canary.restype = ctypes.c_int64\n"
          "lib.hardening_leak_canary.argtypes = [ctypes.c_int64]\n"
          "assert lib.hardening_leak_canary(64) == 6400\n")


def canary_reported(python, build_dir):
    """A leak made by native code loaded into the interpreter is reported,
    and the interpreter alone reports nothing."""
    lib = os.path.join(build_dir, "hardening_leak_canary.so")
    clean = subprocess.Popen([python, "-c", "import ctypes, json, threading"],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    clean_err = clean.communicate()[1].decode("utf-8", "replace")
    leaky = subprocess.Popen([python, "-c", CANARY, lib],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    leaky_err = leaky.communicate()[1].decode("utf-8", "replace")
    ok = (clean.returncode == 0 and "LeakSanitizer" not in clean_err
          and leaky.returncode != 0 and "LeakSanitizer: detected memory leaks" in leaky_err
          and "hardening_leak_canary" in leaky_err)
    if not ok:
        print("leak canary on %s:\n-- interpreter alone (exit %d):\n%s\n-- with the canary (exit %d):\n%s"
              % (python, clean.returncode, clean_err, leaky.returncode, leaky_err))
    return ok


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--pattern", default="test_*.py")
    parser.add_argument("--heavy", action="store_true")
    parser.add_argument("--sanitize", action="store_true")
    args = parser.parse_args()
    build_dir = os.path.abspath(args.build_dir)
    source_dir = os.path.abspath(args.source_dir)

    sys.path.insert(0, os.path.join(source_dir, "tests", "python"))
    import run_suite

    pythons = pick(run_suite)
    if args.heavy:
        os.environ["PYVASKOR_HEAVY"] = "1"
    if args.sanitize:
        os.environ.update(sanitizer_env(build_dir, source_dir))
        module_env = dict(os.environ, PYTHONPATH=build_dir)
        for python in pythons:
            if not canary_reported(python, build_dir):
                return 1
            print("leak canary reported under %s" % python)
            if not tls_offsets.leak_check_survives(
                    python, os.path.join(build_dir, "pyvaskor.so"), module_env):
                return 1
            print("leak check survives the module's TLS block at %d places under %s"
                  % (tls_offsets.PLACES, python))
        # The suite's own process logs its threads and how its leak check at
        # exit went, should that check fail; its children stay quiet.
        os.environ[run_suite.CHILD_LSAN_OPTIONS] = os.environ["LSAN_OPTIONS"]
        os.environ["LSAN_OPTIONS"] += ":verbosity=1:log_threads=1"
    sys.argv = [run_suite.__file__, "--build-dir", build_dir, "--source-dir", source_dir,
                "--pythons", ",".join(pythons), "--pattern", args.pattern]
    return run_suite.main()


if __name__ == "__main__":
    sys.exit(main())
