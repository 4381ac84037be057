"""The Python suite with this machine's one built module on every host of
tests/hosts/hosts.txt: Debian interpreters in chroots made (and cached) with
debootstrap, this machine's own python3 and pyenv's interpreters. Prints a
table; fails when any chosen host fails or cannot be made. Needs root for
the chroots.

usage: run_hosts.py --build-dir DIR --source-dir DIR --work DIR
                    [--hosts PATTERN,...] [--pattern GLOB] [--chroots-only]

A host whose command reads "wheel:PYTHON" installs the wheel of the built
module there instead, with that interpreter's own pip, as a user does
(tests/package/install_wheel.py), and checks the installed module. One that
reads "storage:PYTHON" runs the storage codecs' tests (tests/storage) with
the wheel unpacked as pip lays it out, against the suite's zarr; one that
reads "hdf5:PYTHON" runs the HDF5 filter's tests (tests/hdf5) so, against
the suite's h5py and HDF5.

A host is named "suite/command" (bullseye/python2.7, sid/pypy3,
bullseye/wheel:python3, machine/python3, pyenv/3.12.1); --hosts keeps those that match one
of the shell patterns, against the whole name, its suite or its command
(--hosts sid,*/pypy*).
"""

import argparse
import fnmatch
import glob
import os
import runpy
import shutil
import signal
import subprocess
import sys
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "python"))
sys.path.insert(0, HERE)
import chroots  # noqa: E402
import run_suite  # noqa: E402

# What the suite loads besides the tests: the module and its test-only twin,
# with whatever the build puts beside them for hosts that look for other
# file names (PyPy).
MODULE_FILES = ("pyvaskor.so", "_vaskor_argcheck.so")
MODULE_GLOBS = ("pyvaskor*", "_vaskor_argcheck*")
INSIDE = "/opt/vaskor"
WHEEL = "wheel:"
STORAGE = "storage:"
HDF5 = "hdf5:"
SOURCE_ROOT = os.path.dirname(os.path.dirname(HERE))
# What a wheel host runs, from tests/package.
INSTALL_FILES = ("install_wheel.py", "check_module.py")
STORAGE_SOURCES = ("README.md", os.path.join("include", "vaskor", "vaskor.h"))


def read_hosts(path):
    hosts = []
    with open(path) as f:
        for line in f:
            fields = line.split("#", 1)[0].split()
            if fields:
                suite, command = fields[:2]
                hosts.append((suite, command, fields[2] if len(fields) > 2 else command))
    pyenv = glob.glob(os.path.expanduser("~/.pyenv/versions/*/bin/python"))
    for python in sorted(pyenv, key=lambda p: [int(n) if n.isdigit() else 0
                                               for n in p.split(os.sep)[-3].split(".")]):
        hosts.append(("pyenv", python, None))
    return hosts


def host_name(suite, command):
    if suite == "pyenv":
        return "pyenv/" + command.split(os.sep)[-3]
    if suite == "machine":
        return "machine/" + os.path.basename(command)
    return "%s/%s" % (suite, command)


def chosen(name, suite, command, patterns):
    if not patterns:
        return True
    return any(fnmatch.fnmatchcase(x, p) for p in patterns
               for x in (name, suite, os.path.basename(command)))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--work", required=True, help="chroots and logs live here")
    parser.add_argument("--hosts", default="", help="comma-separated host patterns")
    parser.add_argument("--pattern", default="test_*.py", help="test files to run")
    parser.add_argument("--chroots-only", action="store_true",
                        help="make the chroots and stop: mostly downloads, which may "
                             "overlap a build")
    args = parser.parse_args()
    # A stop from outside still unmounts what was mounted.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))

    build_dir = os.path.abspath(args.build_dir)
    tests_dir = os.path.join(os.path.abspath(args.source_dir), "tests", "python")
    work = os.path.abspath(args.work)
    files = [os.path.join(build_dir, f) for f in MODULE_FILES]
    missing = [f for f in files if not os.path.exists(f)]
    if missing and not args.chroots_only:
        raise SystemExit("not built: %s" % ", ".join(missing))
    files = sorted(set(f for g in MODULE_GLOBS for f in glob.glob(os.path.join(build_dir, g))
                       if os.path.isfile(f)))

    patterns = [p for p in args.hosts.split(",") if p]
    hosts = [(host_name(s, c), s, c, p) for s, c, p in read_hosts(os.path.join(HERE, "hosts.txt"))]
    hosts = [h for h in hosts if chosen(h[0], h[1], h[2], patterns)]
    if not hosts:
        raise SystemExit("no host matches %s" % args.hosts)

    wanted = {}
    for _, suite, _, package in hosts:
        if package is not None and suite != "machine":
            wanted.setdefault(suite, set()).update(package.split(","))
    started = time.time()
    made = chroots.prepare(work, wanted)
    print("chroots ready in %.0f s" % (time.time() - started))
    if args.chroots_only:
        return 1 if any(reason for _, reason in made.values()) else 0

    rows, by_suite = [], {}
    for host in hosts:
        by_suite.setdefault(host[1], []).append(host)
    for suite, group in by_suite.items():
        root, reason = made.get(suite, (None, None))
        if reason:
            rows.extend((name, "?", 0, reason) for name, _, _, _ in group)
            continue
        if root is None:
            rows.extend(run_group(group, build_dir, tests_dir, None, args.pattern))
            continue
        chroots.stage(root, files, tests_dir, INSIDE)
        if any(command.startswith((WHEEL, STORAGE, HDF5)) for _, _, command, _ in group):
            stage_wheel(root, os.path.join(build_dir, "pyvaskor.so"))
        with chroots.mounted(root):
            rows.extend(run_group(group, INSIDE + "/module", INSIDE + "/tests/python",
                                  root, args.pattern))

    print("\n=== host matrix (%.0f s) ===" % (time.time() - started))
    run_suite.print_table(rows, first="host")
    bad = [r for r in rows if not r[3].startswith("ok")]
    print("%d tests on %d hosts, %d of them failed" % (sum(r[2] for r in rows), len(rows), len(bad)))
    return 1 if bad else 0


def stage_wheel(root, module):
    """The wheel of the built module and the install test, under INSIDE."""
    dest = os.path.join(root, INSIDE.lstrip("/"))
    builder = runpy.run_path(os.path.join(SOURCE_ROOT, "packaging", "build_wheel.py"))
    wheel = builder["build"](module, os.path.join(dest, "dist"))
    with zipfile.ZipFile(wheel) as zf:
        zf.extractall(os.path.join(dest, "site"))
    for area in ("storage", "hdf5"):
        shutil.copytree(os.path.join(SOURCE_ROOT, "tests", area),
                        os.path.join(dest, "tests", area),
                        ignore=shutil.ignore_patterns("__pycache__", "*.pyc"))
    os.makedirs(os.path.join(dest, "package"))
    for f in INSTALL_FILES:
        shutil.copy2(os.path.join(SOURCE_ROOT, "tests", "package", f),
                     os.path.join(dest, "package", f))
    # What the storage tests read of the sources: the README's examples and
    # the C header the codecs' structures restate.
    for source in STORAGE_SOURCES:
        os.makedirs(os.path.dirname(os.path.join(dest, source)), exist_ok=True)
        shutil.copy2(os.path.join(SOURCE_ROOT, source), os.path.join(dest, source))


def run_install(python, root):
    """Installs the staged wheel with python's pip inside root; (status,
    number of checks passed, output)."""
    wheel = glob.glob(os.path.join(root, INSIDE.lstrip("/"), "dist", "*.whl"))[0]
    proc = subprocess.Popen(
        ["/usr/bin/python3", INSIDE + "/package/install_wheel.py", "--python", python,
         "--wheel", INSIDE + "/dist/" + os.path.basename(wheel), "--work", INSIDE + "/install"],
        preexec_fn=run_suite.in_root(root, "/"), env=run_suite.chroot_env(),
        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, universal_newlines=True)
    output = proc.communicate()[0]
    return proc.returncode, len([l for l in output.splitlines() if l.startswith("ok: ")]), output


def run_group(group, module_dir, tests_dir, root, pattern):
    rows = []
    for name, _, command, _ in group:
        if command.startswith(WHEEL):
            python = command[len(WHEEL):]
            started = time.time()
            code, count, output = run_install(python, root)
            print("=== %s (%.0f s) ===" % (name, time.time() - started))
            print(output)
            sys.stdout.flush()
            rows.append((name, run_suite.version_of(python, root) or "?", count,
                         run_suite.outcome(code, count, output)))
            continue
        python, where = command, (module_dir, tests_dir, pattern)
        for kind, area in ((STORAGE, "storage"), (HDF5, "hdf5")):
            if command.startswith(kind):
                python = command[len(kind):]
                where = (INSIDE + "/site", INSIDE + "/tests/" + area, "test_*.py")
        version = run_suite.version_of(python, root)
        if version is None:
            rows.append((name, "?", 0, "NOT RUNNABLE"))
            continue
        started = time.time()
        code, count, output = run_suite.run_suite(python, *(where + (root,)))
        print("=== %s (%s, %.0f s) ===" % (name, version, time.time() - started))
        print(output)
        sys.stdout.flush()
        rows.append((name, version, count, run_suite.outcome(code, count, output)))
    return rows


if __name__ == "__main__":
    sys.exit(main())
