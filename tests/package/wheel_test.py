"""Wheel tests, run by a Python 3 harness.

    wheel_test.py build  --module <pyvaskor.so> --work <dir>
        builds the wheel twice (same bytes expected) and checks its name,
        its file list, METADATA, WHEEL and every RECORD line.
    wheel_test.py install --module <pyvaskor.so> --work <dir> --python <exe>
        builds the wheel, installs it with <exe> -m pip into a fresh target
        directory and imports and calls it from there.
"""

import argparse
import base64
import email.parser
import hashlib
import os
import runpy
import shutil
import subprocess
import sys
import types
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def load_builder():
    return types.SimpleNamespace(
        **runpy.run_path(os.path.join(ROOT, "packaging", "build_wheel.py")))


def fail(msg):
    print("FAILED: " + msg)
    sys.exit(1)


def ok(msg):
    print("ok: " + msg)


def fresh_dir(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def build_wheel(builder, module, out_dir):
    return builder.build(module, os.path.join(ROOT, "pyvaskor.pyi"), out_dir,
                         readme_path=os.path.join(ROOT, "README.md"))


def verify_wheel(path, module, version):
    """Checks the archive against the files it should hold; returns nothing,
    exits on the first mismatch."""
    name = os.path.basename(path)
    want = "pyvaskor-%s-py2.py3-none-linux_x86_64.whl" % version
    if name != want:
        fail("wheel file name %s, expected %s" % (name, want))
    ok("file name " + name)

    dist_info = "pyvaskor-%s.dist-info" % version
    with zipfile.ZipFile(path) as zf:
        names = zf.namelist()
        expected = ["pyvaskor.so", "pyvaskor.pyi", dist_info + "/METADATA",
                    dist_info + "/WHEEL", dist_info + "/RECORD"]
        if sorted(names) != sorted(expected):
            fail("wheel holds %s, expected %s" % (names, expected))
        if names[-1] != dist_info + "/RECORD":
            fail("RECORD is not the last entry: %s" % names)
        ok("contents " + ", ".join(names))
        if zf.testzip() is not None:
            fail("corrupt entry " + zf.testzip())
        data = {n: zf.read(n) for n in names}
        so_mode = (zf.getinfo("pyvaskor.so").external_attr >> 16) & 0o777
        if so_mode != 0o755:
            fail("pyvaskor.so has mode %o in the wheel" % so_mode)

    with open(module, "rb") as f:
        if data["pyvaskor.so"] != f.read():
            fail("pyvaskor.so in the wheel differs from " + module)
    with open(os.path.join(ROOT, "pyvaskor.pyi"), "rb") as f:
        if data["pyvaskor.pyi"] != f.read():
            fail("pyvaskor.pyi in the wheel differs from the source")
    ok("pyvaskor.so and pyvaskor.pyi are the built module and the source stub")

    meta = email.parser.Parser().parsestr(data[dist_info + "/METADATA"].decode("utf-8"))
    for field, value in (("Metadata-Version", "2.1"), ("Name", "pyvaskor"),
                         ("Version", version), ("Requires-Python", ">=2.7")):
        if meta.get(field) != value:
            fail("METADATA %s is %r, expected %r" % (field, meta.get(field), value))
    for field in ("Summary", "License"):
        if not (meta.get(field) or "").strip():
            fail("METADATA has no " + field)
    with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as f:
        if meta.get_payload().strip() != f.read().strip():
            fail("METADATA's description is not README.md")
    ok("METADATA: %s %s, License %s, Requires-Python %s"
       % (meta["Name"], meta["Version"], meta["License"], meta["Requires-Python"]))

    wheel = email.parser.Parser().parsestr(data[dist_info + "/WHEEL"].decode("utf-8"))
    if wheel.get("Wheel-Version") != "1.0":
        fail("WHEEL Wheel-Version is %r" % wheel.get("Wheel-Version"))
    if wheel.get("Root-Is-Purelib") != "false":
        fail("WHEEL Root-Is-Purelib is %r" % wheel.get("Root-Is-Purelib"))
    if not wheel.get("Generator"):
        fail("WHEEL has no Generator")
    tags = sorted(wheel.get_all("Tag") or [])
    if tags != ["py2-none-linux_x86_64", "py3-none-linux_x86_64"]:
        fail("WHEEL tags %s" % tags)
    ok("WHEEL: Wheel-Version 1.0, Root-Is-Purelib false, tags " + ", ".join(tags))

    record = data[dist_info + "/RECORD"].decode("utf-8")
    rows = [line.split(",") for line in record.splitlines()]
    seen = set()
    for row in rows:
        if len(row) != 3:
            fail("RECORD line %r" % ",".join(row))
        entry, digest, size = row
        seen.add(entry)
        if entry == dist_info + "/RECORD":
            if digest or size:
                fail("RECORD's own line must have no hash or size: %r" % ",".join(row))
            continue
        raw = hashlib.sha256(data[entry]).digest()
        want_digest = "sha256=" + base64.urlsafe_b64encode(raw).rstrip(b"=").decode()
        if digest != want_digest or size != str(len(data[entry])):
            fail("RECORD %s: %s,%s but the file has %s,%d"
                 % (entry, digest, size, want_digest, len(data[entry])))
    if seen != set(names):
        fail("RECORD lists %s, the wheel holds %s" % (sorted(seen), sorted(names)))
    ok("RECORD: sha256 and size right for all %d files" % (len(rows) - 1))


def cmd_build(args, builder):
    version = builder.project_version()
    first = build_wheel(builder, args.module, fresh_dir(os.path.join(args.work, "a")))
    verify_wheel(first, args.module, version)
    second = build_wheel(builder, args.module, fresh_dir(os.path.join(args.work, "b")))
    with open(first, "rb") as f1, open(second, "rb") as f2:
        if f1.read() != f2.read():
            fail("two builds from the same inputs differ")
    ok("two builds give the same bytes")


def cmd_install(args, builder):
    version = builder.project_version()
    wheel = build_wheel(builder, args.module, fresh_dir(os.path.join(args.work, "dist")))
    verify_wheel(wheel, args.module, version)
    target = fresh_dir(os.path.join(args.work, "target"))
    run_dir = fresh_dir(os.path.join(args.work, "run"))

    env = dict(os.environ)
    for var in ("PYTHONPATH", "PYTHONHOME", "PIP_TARGET", "PIP_PREFIX", "PIP_USER"):
        env.pop(var, None)
    env["PIP_DISABLE_PIP_VERSION_CHECK"] = "1"
    env["PIP_ROOT_USER_ACTION"] = "ignore"
    cmd = [args.python, "-m", "pip", "install", "--no-index", "--no-deps",
           "--no-cache-dir", "--target", target, wheel]
    print("$ " + " ".join(cmd), flush=True)
    if subprocess.call(cmd, env=env, cwd=run_dir) != 0:
        fail("pip could not install the wheel")
    for f in ("pyvaskor.so", "pyvaskor.pyi",
              "pyvaskor-%s.dist-info/RECORD" % version):
        if not os.path.isfile(os.path.join(target, f)):
            fail("pip did not install %s into the target" % f)
    ok("pip installed the wheel into " + target)

    env["PYTHONPATH"] = target
    cmd = [args.python, "-s", os.path.join(HERE, "check_module.py"), target]
    print("$ PYTHONPATH=%s %s" % (target, " ".join(cmd)), flush=True)
    if subprocess.call(cmd, env=env, cwd=run_dir) != 0:
        fail("the installed module failed its checks")


def main():
    p = argparse.ArgumentParser()
    p.add_argument("command", choices=("build", "install"))
    p.add_argument("--module", required=True)
    p.add_argument("--work", required=True)
    p.add_argument("--python")
    args = p.parse_args()
    if args.command == "install" and not args.python:
        p.error("install needs --python")
    builder = load_builder()
    {"build": cmd_build, "install": cmd_install}[args.command](args, builder)
    print("wheel test passed")


if __name__ == "__main__":
    main()
