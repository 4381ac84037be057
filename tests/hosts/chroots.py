"""Debian chroots for the host matrix: made once with debootstrap (as root),
kept under a work folder, and reused while they hold the wanted packages.

A chroot counts as complete only once its marker file is written, after
debootstrap succeeded; a half-made one is made again from nothing.
"""

import contextlib
import os
import shutil
import subprocess
import threading
import time

MIRROR = "http://deb.debian.org/debian"
MARKER = ".vaskor-hosts-packages"
# sid's Release file may be past its Valid-Until date on the mirror.
APT_CONF = 'Acquire::Check-Valid-Until "false";\n'


def mounts_under(path):
    """Mount points at or below path, deepest first."""
    path = os.path.realpath(path)
    found = []
    with open("/proc/mounts") as f:
        for line in f:
            point = line.split()[1].replace("\\040", " ")
            if point == path or point.startswith(path + "/"):
                found.append(point)
    return sorted(found, key=len, reverse=True)


def unmount_under(path):
    for point in mounts_under(path):
        subprocess.call(["umount", "-l", point])


def remove(path):
    """Deletes a chroot, never through a mount left inside it."""
    unmount_under(path)
    if mounts_under(path):
        raise SystemExit("still mounted under %s; not deleting it" % path)
    shutil.rmtree(path, ignore_errors=True)


def installed(root):
    try:
        with open(os.path.join(root, MARKER)) as f:
            return set(f.read().split())
    except IOError:
        return None


def write_marker(root, packages):
    with open(os.path.join(root, MARKER), "w") as f:
        f.write("\n".join(sorted(packages)) + "\n")


@contextlib.contextmanager
def mounted(root):
    """/proc and a read-only view of /dev inside root, unmounted on the way
    out whatever happens. Read-only: deleting the chroot can never reach the
    machine's own device nodes."""
    points = []
    try:
        for src, dst, opts in (("proc", "proc", ["-t", "proc"]),
                               ("/dev", "dev", ["--bind"])):
            target = os.path.join(root, dst)
            subprocess.check_call(["mount"] + opts + [src, target])
            points.append(target)
            if src == "/dev":
                subprocess.check_call(["mount", "-o", "remount,bind,ro", target])
        yield
    finally:
        for target in reversed(points):
            subprocess.call(["umount", "-l", target])


def in_chroot(root, argv, log):
    return subprocess.call(["chroot", root] + argv, stdout=log, stderr=subprocess.STDOUT,
                           env={"PATH": "/usr/sbin:/usr/bin:/sbin:/bin",
                                "DEBIAN_FRONTEND": "noninteractive", "LANG": "C"})


def create(suite, root, packages, log):
    """debootstrap into a fresh folder, renamed into place when complete."""
    fresh = root + ".new"
    remove(fresh)
    cmd = ["debootstrap", "--variant=minbase", "--include=" + ",".join(sorted(packages)),
           suite, fresh, MIRROR]
    if subprocess.call(cmd, stdout=log, stderr=subprocess.STDOUT) != 0:
        unmount_under(fresh)
        return False
    unmount_under(fresh)
    with open(os.path.join(fresh, "etc/apt/apt.conf.d/99vaskor-hosts"), "w") as f:
        f.write(APT_CONF)
    # Nothing reads apt's downloads again.
    shutil.rmtree(os.path.join(fresh, "var/cache/apt/archives"), ignore_errors=True)
    os.makedirs(os.path.join(fresh, "var/cache/apt/archives/partial"))
    remove(root)
    os.rename(fresh, root)
    write_marker(root, packages)
    return True


def add_packages(root, packages, log):
    """Installs what a reused chroot lacks (the host list grew)."""
    with mounted(root):
        ok = (in_chroot(root, ["apt-get", "update"], log) == 0 and
              in_chroot(root, ["apt-get", "install", "-y", "--no-install-recommends"]
                        + sorted(packages), log) == 0)
    if ok:
        write_marker(root, installed(root) | set(packages))
    return ok


def prepare(work, wanted):
    """Makes or completes the chroot of each suite in wanted (suite ->
    packages), all at once since the work is mostly downloads. Returns
    suite -> (root, None) or (None, reason)."""
    results, threads = {}, []
    work = os.path.abspath(work)
    log_dir = os.path.join(work, "logs")
    for d in (log_dir, os.path.join(work, "chroots")):
        if not os.path.isdir(d):
            os.makedirs(d)

    def one(suite, packages):
        root = os.path.join(work, "chroots", suite)
        have = installed(root)
        log_path = os.path.join(log_dir, "chroot-%s.log" % suite)
        started = time.time()
        with open(log_path, "w") as log:
            if have is None:
                action, ok = "made", create(suite, root, packages, log)
            elif packages - have:
                action, ok = "completed", add_packages(root, packages - have, log)
            else:
                action, ok = "reused", True
        took = time.time() - started
        if ok:
            print("chroot %-9s %s in %.0f s" % (suite, action, took))
            results[suite] = (root, None)
        else:
            print("chroot %-9s FAILED after %.0f s; see %s" % (suite, took, log_path))
            results[suite] = (None, "no chroot (see %s)" % log_path)

    for suite, packages in sorted(wanted.items()):
        t = threading.Thread(target=one, args=(suite, set(packages)))
        t.start()
        threads.append(t)
    for t in threads:
        t.join()
    return results


def stage(root, files, tests_dir, inside):
    """Copies the module files and the test folder to the path inside in
    root, afresh on every run."""
    dest = os.path.join(root, inside.lstrip("/"))
    shutil.rmtree(dest, ignore_errors=True)
    shutil.copytree(tests_dir, os.path.join(dest, "tests", "python"),
                    ignore=shutil.ignore_patterns("__pycache__", "*.pyc"))
    # The committed frames the suite checks, beside it as in the source tree.
    fixtures = os.path.join(os.path.dirname(tests_dir), "fixtures")
    if os.path.isdir(fixtures):
        shutil.copytree(fixtures, os.path.join(dest, "tests", "fixtures"))
    os.makedirs(os.path.join(dest, "module"))
    for path in files:
        shutil.copy2(path, os.path.join(dest, "module"))
