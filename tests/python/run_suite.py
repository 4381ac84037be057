"""Runs the Python tests (tests/python/test_*.py) on every interpreter of the
machine, each in its own process with the built module first on the path,
and prints which ran.

Fails when an interpreter fails or runs no test, or when no interpreter of
a major version --majors names (default: 3) ran at all. Expected hosts it
cannot find here (Python 2.7 on a machine without one) are named as
skipped: make test-hosts covers those.

usage: run_suite.py --build-dir DIR --source-dir DIR [--pythons P1,P2,...]
                    [--pattern GLOB] [--majors 3]
"""

import argparse
import glob
import os
import re
import subprocess
import sys

VERSION_PROBE = "import sys; print('%d.%d.%d' % tuple(sys.version_info[:3]))"


def find_interpreters():
    roots = []
    if os.environ.get("PYENV_ROOT"):
        roots.append(os.environ["PYENV_ROOT"])
    roots.append(os.path.expanduser("~/.pyenv"))
    candidates = []
    for root in roots:
        candidates.extend(sorted(glob.glob(os.path.join(root, "versions", "*", "bin", "python"))))
    candidates.extend(["/usr/bin/python2", "/usr/bin/python3"])
    found, seen = [], set()
    for path in candidates:
        real = os.path.realpath(path)
        if os.access(real, os.X_OK) and real not in seen:
            seen.add(real)
            found.append(path)
    return found


def in_root(root, cwd):
    """Process start-up inside a chroot (root) at cwd; None: this machine."""
    if root is None:
        return None

    def enter():
        os.chroot(root)
        os.chdir(cwd or "/")
    return enter


def chroot_env():
    return {"PATH": "/usr/sbin:/usr/bin:/sbin:/bin", "HOME": "/root", "LANG": "C.UTF-8"}


def version_of(python, root=None):
    try:
        out = subprocess.check_output([python, "-c", VERSION_PROBE],
                                      stderr=subprocess.DEVNULL, universal_newlines=True,
                                      preexec_fn=in_root(root, None),
                                      env=chroot_env() if root else None)
    except (OSError, subprocess.CalledProcessError):
        return None
    return out.strip()


# A sanitizer run may have the suite's own process tell more of its leak
# check than the children it starts may print (tests compare their output):
# the children get these options instead.
CHILD_LSAN_OPTIONS = "VASKOR_CHILD_LSAN_OPTIONS"
QUIET_CHILDREN = ("import os, sys\n"
                  "os.environ['LSAN_OPTIONS'] = os.environ.pop('%s')\n"
                  "import unittest\n"
                  "unittest.main(module=None, argv=['unittest', 'discover', '-s', sys.argv[1], '-p', sys.argv[2], '-v'])\n"
                  % CHILD_LSAN_OPTIONS)


def run_suite(python, build_dir, test_dir, pattern, root=None):
    """Runs the suite; with root, inside that chroot, where build_dir and
    test_dir are paths."""
    env = chroot_env() if root else dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join(p for p in [build_dir, env.get("PYTHONPATH")] if p)
    env["PYTHONDONTWRITEBYTECODE"] = "1"
    env.pop("PYTHONHOME", None)
    command = [python, "-m", "unittest", "discover", "-s", test_dir, "-p", pattern, "-v"]
    if CHILD_LSAN_OPTIONS in env:
        command = [python, "-c", QUIET_CHILDREN, test_dir, pattern]
    proc = subprocess.Popen(
        command,
        cwd=None if root else build_dir, preexec_fn=in_root(root, build_dir),
        env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
        universal_newlines=True)
    output = CHATTER.sub("", proc.communicate()[0])
    ran = re.findall(r"^Ran (\d+) tests? in ", output, re.MULTILINE)
    return proc.returncode, int(ran[-1]) if ran else 0, output


def outcome(code, count, output):
    """The result column: ok, or how it failed."""
    if code < 0:
        return "CRASHED (signal %d)" % -code
    if code != 0:
        counts = re.findall(r"^FAILED \((.*)\)$", output, re.MULTILINE)
        return "FAILED (%s)" % (counts[-1] if counts else "exit %d" % code)
    if count == 0:
        return "RAN NO TEST"
    skipped = re.findall(r"^OK \(skipped=(\d+)\)$", output, re.MULTILINE)
    return "ok (%s skipped)" % skipped[-1] if skipped else "ok"


# What explains a failure: failed tests and sanitizer reports; and, once the
# tests are over, every line the sanitizer runtimes print (==pid==...): the
# leak check at exit. Not the chatter of a verbose sanitizer.
WHY = re.compile(r"^(FAIL|ERROR): |Sanitizer|^SUMMARY: |runtime error|^\s+#\d+ 0x|^\w*Error: ")
CHATTER = re.compile(r"==\d+==(?:unpoisoning: |poisoning: |AddressSanitizer: failed to intercept |"
                     r"AddressSanitizer: libc interceptors initialized|AddressSanitizer Init done|"
                     r"(?:Un)?[Rr]egistered root region )[^\n]*\n")
TESTS_OVER = re.compile(r"^Ran \d+ tests? in ")


def why(output, limit=16):
    """The lines of a failed run's output that say why, so that they still
    show at the end of a long log: the first ones and the last ones."""
    lines = output.splitlines()
    over = max([i for i, line in enumerate(lines) if TESTS_OVER.match(line)] or [len(lines)])
    found = [line for i, line in enumerate(lines)
             if WHY.search(line) or (i > over and line.startswith("=="))]
    if len(found) <= limit:
        return found
    return found[:limit // 2] + ["... (%d more)" % (len(found) - limit)] + found[-(limit // 2):]


def print_table(rows, first="interpreter"):
    """rows: (name, version, tests, result)."""
    width = max([len(r[0]) for r in rows] + [len(first)])
    print("%-*s  %-8s  %5s  %s" % (width, first, "version", "tests", "result"))
    for name, version, count, result in rows:
        print("%-*s  %-8s  %5d  %s" % (width, name, version, count, result))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--pythons", default="")
    parser.add_argument("--pattern", default="test_*.py", help="test files to run")
    parser.add_argument("--majors", default="3", help="Python major versions that must pass")
    args = parser.parse_args()

    build_dir = os.path.abspath(args.build_dir)
    test_dir = os.path.join(os.path.abspath(args.source_dir), "tests", "python")
    chosen = [os.path.expanduser(p) for p in re.split(r"[,;]", args.pythons) if p]
    pythons = chosen or find_interpreters()

    versions = [(python, version_of(python)) for python in pythons]
    if not chosen:
        versions.sort(key=lambda pv: [int(n) for n in (pv[1] or "0").split(".")])

    rows, reasons = [], []
    for python, version in versions:
        if version is None:
            rows.append((python, "?", 0, "NOT RUNNABLE"))
            continue
        code, count, output = run_suite(python, build_dir, test_dir, args.pattern)
        print("=== %s (%s) ===" % (python, version))
        print(output)
        rows.append((python, version, count, outcome(code, count, output)))
        if code != 0:
            reasons.append((python, why(output)))

    print_table(rows)
    ran = [r[1] for r in rows if r[3].startswith("ok")]
    failed = len(rows) - len(ran)
    if not any(r[1].startswith("2.7.") for r in rows):
        print("skipped: Python 2.7 (no such interpreter here); "
              "make test-hosts runs the suite on Debian 11's Python 2.7")
    for major in args.majors.split(","):
        if not any(v.startswith(major + ".") for v in ran):
            print("FAIL: no Python %s interpreter ran the suite" % major)
            failed += 1
    print("%d tests on %d interpreters, %d of them failed"
          % (sum(r[2] for r in rows), len(rows), len(rows) - len(ran)))
    for python, lines in reasons:
        print("why %s failed:" % python)
        for line in lines or ["(no failed test or sanitizer report in its output)"]:
            print("  " + line)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
