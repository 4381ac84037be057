"""Installs the wheel into a fresh venv of Debian's Python and runs Debian's
mypy on typing_user.py against it, as a user would:

    mypy --python-executable <venv>/bin/python typing_user.py

    typing_test.py --module <pyvaskor.so> --work <dir>

Exits 77 (skipped) when mypy is not installed (Debian package mypy).
"""

import argparse
import os
import re
import runpy
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
USER_FILE = os.path.join(HERE, "typing_user.py")


def run(cmd, **kw):
    print("$ " + " ".join(cmd), flush=True)
    return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          universal_newlines=True, **kw)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--module", required=True)
    p.add_argument("--work", required=True)
    args = p.parse_args()
    mypy = shutil.which("mypy")
    if not mypy:
        print("skipped: no mypy on PATH (Debian package mypy)")
        return 77

    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    builder = runpy.run_path(os.path.join(ROOT, "packaging", "build_wheel.py"))
    wheel = builder["build"](args.module, os.path.join(args.work, "dist"))
    venv = os.path.join(args.work, "venv")
    env = {k: v for k, v in os.environ.items()
           if not k.startswith(("PIP_", "MYPY")) and k not in ("PYTHONPATH", "VIRTUAL_ENV")}
    env.update(PIP_DISABLE_PIP_VERSION_CHECK="1", PIP_ROOT_USER_ACTION="ignore")
    for cmd in (["/usr/bin/python3", "-m", "venv", venv],
                [os.path.join(venv, "bin", "python"), "-m", "pip", "install", "--no-index",
                 "--no-deps", "--no-cache-dir", wheel]):
        proc = run(cmd, env=env, cwd=args.work)
        if proc.returncode != 0:
            print(proc.stdout + "FAILED: command failed")
            return 1

    proc = run([mypy, "--no-incremental", "--cache-dir", os.devnull, "--show-error-codes",
                "--python-executable", os.path.join(venv, "bin", "python"), USER_FILE],
               env=env, cwd=args.work)
    print(proc.stdout, end="")
    reported = set((int(line), code) for line, code in
                   re.findall(r"^[^:]*typing_user\.py:(\d+): error: .*\[([\w-]+)\]$",
                              proc.stdout, re.M))
    with open(USER_FILE) as f:
        expected = set((n, m.group(1)) for n, text in enumerate(f, 1)
                       for m in [re.search(r"# error: ([\w-]+)$", text)] if m)
    if reported != expected or proc.returncode != 1:
        print("FAILED: mypy (status %d) reported %s, expected %s"
              % (proc.returncode, sorted(reported), sorted(expected)))
        return 1
    print("ok: mypy found the installed stubs: the right calls pass, the %d wrong ones "
          "are reported" % len(expected))
    return 0


if __name__ == "__main__":
    sys.exit(main())
