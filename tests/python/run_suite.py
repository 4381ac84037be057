"""Runs the Python tests (tests/python/test_*.py) on every interpreter of the
machine, each in its own process with the built module first on the path,
and prints which ran.

Fails when an interpreter fails, runs no test, or when no Python 2 or no
Python 3 (of those --majors names) ran at all.

usage: run_suite.py --build-dir DIR --source-dir DIR [--pythons P1,P2,...]
                    [--pattern GLOB] [--majors 2,3]
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


def version_of(python):
    try:
        out = subprocess.check_output([python, "-c", VERSION_PROBE],
                                      stderr=subprocess.DEVNULL, universal_newlines=True)
    except (OSError, subprocess.CalledProcessError):
        return None
    return out.strip()


def run_suite(python, build_dir, test_dir, pattern):
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join(p for p in [build_dir, env.get("PYTHONPATH")] if p)
    env["PYTHONDONTWRITEBYTECODE"] = "1"
    env.pop("PYTHONHOME", None)
    proc = subprocess.Popen(
        [python, "-m", "unittest", "discover", "-s", test_dir, "-p", pattern, "-v"],
        cwd=build_dir, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
        universal_newlines=True)
    output = proc.communicate()[0]
    ran = re.findall(r"^Ran (\d+) tests? in ", output, re.MULTILINE)
    return proc.returncode, int(ran[-1]) if ran else 0, output


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--pythons", default="")
    parser.add_argument("--pattern", default="test_*.py", help="test files to run")
    parser.add_argument("--majors", default="2,3", help="Python major versions that must pass")
    args = parser.parse_args()

    build_dir = os.path.abspath(args.build_dir)
    test_dir = os.path.join(os.path.abspath(args.source_dir), "tests", "python")
    chosen = [os.path.expanduser(p) for p in re.split(r"[,;]", args.pythons) if p]
    pythons = chosen or find_interpreters()

    versions = [(python, version_of(python)) for python in pythons]
    if not chosen:
        versions.sort(key=lambda pv: [int(n) for n in (pv[1] or "0").split(".")])

    rows, failed = [], False
    majors_passed = set()
    for python, version in versions:
        if version is None:
            rows.append((python, "?", 0, "NOT RUNNABLE"))
            failed = True
            continue
        code, count, output = run_suite(python, build_dir, test_dir, args.pattern)
        print("=== %s (%s) ===" % (python, version))
        print(output)
        if code != 0:
            result = "FAILED (exit %d)" % code
        elif count == 0:
            result = "RAN NO TEST"
        else:
            result = "ok"
            majors_passed.add(version.split(".")[0])
        failed = failed or result != "ok"
        rows.append((python, version, count, result))

    width = max([len(r[0]) for r in rows] + [len("interpreter")])
    print("%-*s  %-8s  %5s  %s" % (width, "interpreter", "version", "tests", "result"))
    for python, version, count, result in rows:
        print("%-*s  %-8s  %5d  %s" % (width, python, version, count, result))
    for major in args.majors.split(","):
        if major not in majors_passed:
            print("FAIL: no Python %s interpreter ran the suite" % major)
            failed = True
    print("%d tests on %d interpreters, %d of them failed"
          % (sum(r[2] for r in rows), len(rows), sum(1 for r in rows if r[3] != "ok")))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
