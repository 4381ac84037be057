"""Installs a built wheel the way a user does, with the interpreter's own pip
and its platform check: into a fresh venv where the interpreter has one,
else (Python 2.7 without virtualenv) with --user under a fresh user base.
Offline, from outside the source tree; then imports the installed module
and runs check_module.py against it.

    install_wheel.py --wheel <pyvaskor-*.whl> --python <exe> --work <dir>

Exits 77 (skipped), saying why, when the interpreter is not there or has
neither a venv nor a pip. Needs only Python 3's standard library, so it
also runs inside the chroots of the host matrix.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SKIPPED = 77


def fail(msg):
    print("FAILED: " + msg)
    sys.exit(1)


def skip(msg):
    print("skipped: " + msg)
    sys.exit(SKIPPED)


def clean_env():
    env = dict((k, v) for k, v in os.environ.items()
               if not k.startswith("PIP_") and k not in
               ("PYTHONPATH", "PYTHONHOME", "PYTHONUSERBASE", "VIRTUAL_ENV"))
    env["PIP_DISABLE_PIP_VERSION_CHECK"] = "1"
    env["PIP_ROOT_USER_ACTION"] = "ignore"
    env["PIP_NO_WARN_SCRIPT_LOCATION"] = "1"
    return env


def quiet(cmd, env, cwd):
    """Status and output of cmd (stderr included)."""
    proc = subprocess.Popen(cmd, env=env, cwd=cwd, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT)
    out = proc.communicate()[0].decode("utf-8", "replace")
    return proc.returncode, out.strip()


def run(cmd, env, cwd, what):
    print("$ " + " ".join(cmd))
    sys.stdout.flush()
    status, out = quiet(cmd, env, cwd)
    print(out)
    if status != 0:
        fail(what)
    return out


def make_environment(python, work, env, run_dir):
    """(python to install with, how), making a venv when the interpreter
    can; else the interpreter itself with --user under a fresh user base."""
    venv = os.path.join(work, "venv")
    for module, probe in (("venv", "import venv, ensurepip"), ("virtualenv", "import virtualenv")):
        if quiet([python, "-c", probe], env, run_dir)[0] == 0:
            run([python, "-m", module, venv], env, run_dir, "could not make a %s" % module)
            return os.path.join(venv, "bin", "python"), module
    if quiet([python, "-m", "pip", "--version"], env, run_dir)[0] != 0:
        skip("%s has neither venv, virtualenv nor pip" % python)
    env["PYTHONUSERBASE"] = os.path.join(work, "userbase")
    return python, "--user"


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--wheel", required=True)
    p.add_argument("--python", required=True)
    p.add_argument("--work", required=True)
    args = p.parse_args()
    # A bare command name is looked up on PATH, as a user's shell would.
    found = args.python if os.sep in args.python else shutil.which(args.python)
    if not found or not os.path.exists(found):
        skip("%s is not installed here" % args.python)
    args.python = found

    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    run_dir = os.path.join(work, "run")
    os.makedirs(run_dir)
    env = clean_env()
    python, how = make_environment(args.python, work, env, run_dir)

    pip = run([python, "-m", "pip", "--version"], env, run_dir, "no pip").splitlines()[-1]
    pip_version = re.match(r"pip (\S+)", pip)
    cmd = [python, "-m", "pip", "install", "--no-index", "--no-deps", "--no-cache-dir"]
    cmd += ["--user"] if how == "--user" else []
    run(cmd + [os.path.abspath(args.wheel)], env, run_dir,
        "pip %s refused or failed to install %s"
        % (pip_version.group(1) if pip_version else "?", os.path.basename(args.wheel)))

    where = "import site; print(site.getusersitepackages())" if how == "--user" else \
        "import sysconfig; print(sysconfig.get_paths()['platlib'])"
    site = quiet([python, "-c", where], env, run_dir)[1].splitlines()[-1]
    if not os.path.realpath(site).startswith(work + os.sep):
        fail("pip installed into %s, outside %s" % (site, work))
    # No -s: a --user install lives in the user site.
    run([python, os.path.join(HERE, "check_module.py"), site], env, run_dir,
        "the installed module failed its checks")
    check_command(python, how, env, run_dir)
    print("installed with %s (%s) and imported from %s" % (pip, how, site))


def check_command(python, how, env, run_dir):
    """The script pip made of the wheel's console entry point: on Python 3
    `vaskor --help`, or without numpy a line saying it needs it (status 2);
    on 2.7 that it needs Python 3 (status 2)."""
    where = "import site; print(site.USER_BASE + '/bin')" if how == "--user" else \
        "import sysconfig; print(sysconfig.get_paths()['scripts'])"
    script = os.path.join(quiet([python, "-c", where], env, run_dir)[1].splitlines()[-1], "vaskor")
    version = quiet([python, "-c", "import sys; print(sys.version_info[0])"], env, run_dir)[1]
    status, out = quiet([script, "--help"], env, run_dir)
    if version.endswith("2"):
        good = status == 2 and out.startswith("vaskor needs Python 3")
    else:
        good = (status == 0 and out.startswith("usage: vaskor")) or (
            status == 2 and out.startswith("vaskor needs numpy"))
    if not good:
        fail("%s --help: status %d, %s" % (script, status, out))
    print("%s --help: status %d, %s" % (script, status, out.splitlines()[0]))


if __name__ == "__main__":
    main()
