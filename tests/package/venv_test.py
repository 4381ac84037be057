"""`pip install .` into a fresh virtual environment, the way the README says:

    python3 -m venv --system-site-packages <venv>
    <venv>/bin/python -m pip install --no-build-isolation <source>

then imports and calls the module from the environment, and uninstalls it.
The source tree is copied first, so the build leaves nothing in the
checkout.

    venv_test.py --python /usr/bin/python3 --work <dir>

Exits 77 (skipped) only when the given interpreter does not exist.
"""

import argparse
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def fail(msg):
    print("FAILED: " + msg)
    sys.exit(1)


def run(cmd, **kw):
    print("$ " + " ".join(cmd), flush=True)
    if subprocess.call(cmd, **kw) != 0:
        fail("command failed: " + " ".join(cmd))


def output(cmd, **kw):
    return subprocess.check_output(cmd, **kw).decode("utf-8").strip()


def ignore(directory, names):
    """Leaves out build trees, wheels and VCS data of the checkout."""
    skip = {n for n in names if n == "__pycache__" or n.endswith(".egg-info")}
    if os.path.realpath(directory) == os.path.realpath(ROOT):
        skip |= {n for n in names
                 if n.startswith("build") or n in (".git", "dist", "venv")}
    return skip


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--python", required=True)
    p.add_argument("--work", required=True)
    args = p.parse_args()
    if not os.path.exists(args.python):
        print("skipped: %s does not exist" % args.python)
        sys.exit(77)

    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    src = os.path.join(args.work, "src")
    venv = os.path.join(args.work, "venv")
    shutil.copytree(ROOT, src, ignore=ignore)

    env = dict(os.environ)
    for var in list(env):
        if var.startswith("PIP_") or var in ("PYTHONPATH", "PYTHONHOME", "VIRTUAL_ENV"):
            del env[var]
    env["PIP_DISABLE_PIP_VERSION_CHECK"] = "1"
    env["PIP_ROOT_USER_ACTION"] = "ignore"

    run([args.python, "-m", "venv", "--system-site-packages", venv], env=env)
    py = os.path.join(venv, "bin", "python")
    run([py, "-m", "pip", "install", "--no-build-isolation", "--no-index",
         "--no-cache-dir", src], env=env, cwd=args.work)

    platlib = output([py, "-c", "import sysconfig; print(sysconfig.get_paths()['platlib'])"],
                     env=env)
    if not os.path.realpath(platlib).startswith(os.path.realpath(venv) + os.sep):
        fail("site-packages %s is outside the environment" % platlib)
    run([py, "-s", os.path.join(HERE, "check_module.py"), platlib], env=env, cwd=args.work)

    version = output([py, "-m", "pip", "show", "pyvaskor"], env=env)
    print(version)
    run([py, "-m", "pip", "uninstall", "-y", "pyvaskor"], env=env, cwd=args.work)
    for f in ("pyvaskor.so", "pyvaskor.pyi"):
        if os.path.exists(os.path.join(platlib, f)):
            fail("pip uninstall left %s behind" % f)
    print("ok: pip uninstall removed pyvaskor.so and pyvaskor.pyi")
    print("pip install . test passed")


if __name__ == "__main__":
    main()
