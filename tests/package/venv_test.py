"""`pip install .`, or of the archive `make sdist` makes, into a fresh virtual
environment, offline, the way the README says:

    python3 -m venv --system-site-packages <venv>
    <venv>/bin/python -m pip install --no-build-isolation <source or sdist>

then imports and calls the module from the environment, and uninstalls it.
The source tree is copied first, so the build leaves nothing in the
checkout.

    venv_test.py --python /usr/bin/python3 --work <dir> [--sdist]
                 [--build-dir <CMake build tree>]

Without --build-dir, pip's build configures and compiles the module from
scratch, as for a user without a build. With it, pip's build only brings
the module up to date in that tree (setup.py's VASKOR_CMAKE_BUILD_DIR), and
the installed module must be that tree's very file.

Exits 77 (skipped) only when the given interpreter does not exist.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tarfile

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
    p.add_argument("--sdist", action="store_true",
                   help="install the archive of `make sdist` instead of the tree")
    p.add_argument("--build-dir", help="a configured CMake build tree pip's build reuses")
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
    env.pop("VASKOR_CMAKE_BUILD_DIR", None)
    built = None
    if args.build_dir:
        env["VASKOR_CMAKE_BUILD_DIR"] = os.path.abspath(args.build_dir)
        built = os.path.join(env["VASKOR_CMAKE_BUILD_DIR"], "pyvaskor.so")

    what = src
    if args.sdist:
        run(["make", "-C", src, "sdist"], env=env)
        what = os.path.join(src, "dist", "pyvaskor-%s.tar.gz" % output(
            ["/usr/bin/python3", "-c", "import runpy, sys; print(runpy.run_path(sys.argv[1])"
             "['project_version'](sys.argv[2]))",
             os.path.join(src, "packaging", "build_wheel.py"), src], env=env))
        check_sdist(what)
        # Built from the unpacked archive only.
        what = shutil.move(what, args.work)
        shutil.rmtree(src)
    run([args.python, "-m", "venv", "--system-site-packages", venv], env=env)
    py = os.path.join(venv, "bin", "python")
    run([py, "-m", "pip", "install", "--no-build-isolation", "--no-index",
         "--no-cache-dir", what], env=env, cwd=args.work)

    platlib = output([py, "-c", "import sysconfig; print(sysconfig.get_paths()['platlib'])"],
                     env=env)
    if not os.path.realpath(platlib).startswith(os.path.realpath(venv) + os.sep):
        fail("site-packages %s is outside the environment" % platlib)
    if built:
        same_file(os.path.join(platlib, "pyvaskor.so"), built)
    run([py, "-s", os.path.join(HERE, "check_module.py"), platlib], env=env, cwd=args.work)

    shown = output([py, "-m", "pip", "show", "pyvaskor"], env=env)
    print(shown)
    fields = dict(line.split(": ", 1) for line in shown.splitlines() if ": " in line)
    missing = [f for f in ("Name", "Version", "Summary", "Author", "License")
               if not fields.get(f, "").strip()]
    if missing:
        fail("pip show has no %s" % ", ".join(missing))
    run([py, "-m", "pip", "uninstall", "-y", "pyvaskor"], env=env, cwd=args.work)
    installed = ("pyvaskor.so", "pyvaskor.py", "pyvaskor.pyi", "pyvaskor-stubs")
    for f in installed:
        if os.path.exists(os.path.join(platlib, f)):
            fail("pip uninstall left %s behind" % f)
    print("ok: pip uninstall removed " + ", ".join(installed))
    print("pip install of the %s passed" % ("sdist" if args.sdist else "source tree"))


def same_file(installed, built):
    """pip's build reused the given tree rather than compiling afresh."""
    with open(installed, "rb") as a, open(built, "rb") as b:
        if a.read() != b.read():
            fail("%s is not the module of the build tree, %s" % (installed, built))
    print("ok: the installed module is the build tree's " + built)


def check_sdist(path):
    """The archive holds every file the checkout tracks (but its dot-files)."""
    with tarfile.open(path) as tar:
        names = set(n.split("/", 1)[1] for n in tar.getnames() if "/" in n)
    try:
        tracked = output(["git", "-C", ROOT, "ls-files"]).splitlines()
    except (OSError, subprocess.CalledProcessError):
        print("not checked against git: %s is not a git checkout" % ROOT)
        return
    lacking = [f for f in tracked if not f.startswith(".") and f not in names
               and os.path.exists(os.path.join(ROOT, f))]
    if lacking:
        fail("the sdist lacks %s" % ", ".join(lacking))
    print("ok: the sdist holds all %d files the checkout tracks" % len(tracked))


if __name__ == "__main__":
    main()
