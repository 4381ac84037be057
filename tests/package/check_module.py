"""Runs inside the interpreter under test (Python 2.7 or 3.x), against an
installed pyvaskor: checks where it was imported from, that the type stub
sits beside it and describes the real functions, and calls all four; that
the PyPy loader pyvaskor.py beside it loads that same pyvaskor.so when run,
and that the wheel pip installed is the universal one.

    python check_module.py <directory the module must come from>

Prints one line per check and exits non-zero when any fails.
"""
from __future__ import print_function

import glob
import os
import re
import subprocess
import sys

failures = []


def check(ok, what):
    print("%s: %s" % ("ok" if ok else "FAILED", what))
    if not ok:
        failures.append(what)


def main():
    expected_dir = os.path.realpath(sys.argv[1])
    import pyvaskor

    module_file = os.path.realpath(pyvaskor.__file__)
    check(os.path.dirname(module_file) == expected_dir,
          "pyvaskor imported from %s (expected %s)" % (module_file, expected_dir))
    check(os.path.basename(module_file) == "pyvaskor.so", "the module file is pyvaskor.so")

    # Worked examples of both formats.
    check(pyvaskor.bpeEncode([1, 2, 3]) == (b"\x00\x53", 3),
          "bpeEncode([1, 2, 3]) == (b'\\x00\\x53', 3)")
    check(pyvaskor.bpeDecode(b"\x00\x53", 3) == [0, 0, 1, 2, 3],
          "bpeDecode(b'\\x00\\x53', 3) == [0, 0, 1, 2, 3]")
    check(pyvaskor.bpeDecode(b"\x05\x14\x09", 0) == [5, 0, 9],
          "bpeDecode with the width byte in front")
    check(pyvaskor.neEncode((1, 2, 300)) == (b"\x00\x01\x00\x02\x01\x2c", 2),
          "neEncode((1, 2, 300))")
    check(pyvaskor.neDecode([0, 1, 0, 2, 1, 44], 2) == [1, 2, 300],
          "neDecode of a list of ints")

    # A codec failure comes back as a NimPyException subclass.
    try:
        pyvaskor.bpeDecode(b"\x01", -1)
        check(False, "bpeDecode(b'\\x01', -1) raises")
    except pyvaskor.NimPyException as e:
        check(type(e).__name__ == "AssertionDefect" and type(e).__module__ == "nimpy",
              "bpeDecode(b'\\x01', -1) raises nimpy.AssertionDefect (got %s.%s)"
              % (type(e).__module__, type(e).__name__))
        check(str(e).startswith("Unexpected error encountered: "), "failure message")
    check(pyvaskor.NimPyException.__module__ == "nimpy", "NimPyException.__module__ is nimpy")

    check_stub(pyvaskor, os.path.join(os.path.dirname(module_file), "pyvaskor.pyi"))
    check_install(expected_dir, pyvaskor)

    print("%d check(s) failed" % len(failures))
    return 1 if failures else 0


# Sample arguments per parameter name, and what a result must look like per
# declared return type.
SAMPLES = {"a": [1, 2, 3], "bytes": b"\x00\x53", "l": 3, "out": None,
           "layout": "bpe", "transform": "for", "start": 0, "stop": None,
           # The README's frame of int8 5, 3, 9.
           "frame": (b"VSKF\x01\x01\x01\x01\x03" + b"\x00" * 7 + b"\x03" + b"\x00" * 7
                     + b"\x03" + b"\x00" * 15 + b"\x00\x86")}


def result_matches(annotation, result):
    int_types = (int,) if sys.version_info[0] >= 3 else (int, long)  # noqa: F821
    if annotation == "Tuple[bytes, int]":
        return (type(result) is tuple and len(result) == 2
                and isinstance(result[0], bytes) and isinstance(result[1], int_types))
    if annotation == "List[int]":
        return type(result) is list and all(isinstance(v, int_types) for v in result)
    if annotation == "Union[array[int], int]":
        import array
        return isinstance(result, (array.array,) + int_types)
    if annotation == "bytes":
        return type(result) is bytes
    if annotation == "Dict[str, Any]":
        return type(result) is dict and all(isinstance(k, str) for k in result)
    return False


def check_stub(pyvaskor, stub_path):
    check(os.path.isfile(stub_path), "pyvaskor.pyi installed beside the module")
    if not os.path.isfile(stub_path):
        return
    with open(stub_path) as f:
        text = f.read()
    defs = re.findall(r"^def (\w+)\(([^)]*)\) -> ([^:]+):", text, re.M)
    if sys.version_info[0] >= 3:
        import ast
        tree = ast.parse(text, stub_path)
        ast_defs = sorted(n.name for n in tree.body if isinstance(n, ast.FunctionDef))
        check(ast_defs == sorted(d[0] for d in defs), "the stub parses as Python 3")
        classes = [n for n in tree.body if isinstance(n, ast.ClassDef)]
        check([(c.name, [b.id for b in c.bases]) for c in classes]
              == [("NimPyException", ["Exception"]), ("FrameError", ["ValueError"]),
                  ("FrameVersionError", ["FrameError"])],
              "the stub declares NimPyException(Exception), FrameError(ValueError) and "
              "FrameVersionError(FrameError)")
        check(re.search(r"@[A-Z_]+@", text) is None, "the stub's literals are filled in")

    check(re.search(r"^__version__: str$", text, re.M) is not None,
          "the stub declares __version__: str")
    public = sorted(n for n in dir(pyvaskor)
                    if not n.startswith("_") and not isinstance(getattr(pyvaskor, n), type))
    check(sorted(d[0] for d in defs) == public,
          "the stub's functions %s are the module's %s" % (sorted(d[0] for d in defs), public))
    check(issubclass(pyvaskor.NimPyException, Exception), "NimPyException derives from Exception")

    for name, params, returns in defs:
        names = [p.split(":")[0].strip() for p in re.split(r",(?![^\[]*\])", params) if p.strip()]
        fn = getattr(pyvaskor, name, None)
        if fn is None or any(n not in SAMPLES for n in names):
            check(False, "%s(%s): unknown function or parameter" % (name, ", ".join(names)))
            continue
        # Every parameter is positional-or-keyword under the stub's name.
        kwargs = dict((n, SAMPLES[n]) for n in names)
        try:
            by_keyword = fn(**kwargs)
        except TypeError as e:
            check(False, "%s(%s) by keyword: %s" % (name, ", ".join(names), e))
            continue
        by_position = fn(*[SAMPLES[n] for n in names])
        check(by_keyword == by_position,
              "%s accepts %s by keyword and by position alike" % (name, ", ".join(names)))
        check(result_matches(returns.strip(), by_keyword),
              "%s returns %s (got %r)" % (name, returns.strip(), by_keyword))


# Runs the PyPy loader the way an importer that skipped pyvaskor.so would.
FORCE_LOADER = r"""
import sys
path = sys.argv[1]
try:
    import importlib.util as u
except ImportError:
    import imp
    imp.load_source("pyvaskor", path)
else:
    spec = u.spec_from_file_location("pyvaskor", path)
    module = u.module_from_spec(spec)
    sys.modules["pyvaskor"] = module
    spec.loader.exec_module(module)
m = sys.modules["pyvaskor"]
print("%s %r" % (m.__file__, m.bpeEncode([1, 2, 3])))
"""


def read(path):
    with open(path, "rb") as f:
        return f.read()


def check_install(site, pyvaskor):
    loader = os.path.join(site, "pyvaskor.py")
    check(os.path.isfile(loader), "pyvaskor.py installed beside pyvaskor.so, and not imported")
    if os.path.isfile(loader):
        out = subprocess.check_output([sys.executable, "-s", "-c", FORCE_LOADER, loader],
                                      cwd=site).decode("ascii").split()
        check(os.path.realpath(out[0]) == os.path.join(site, "pyvaskor.so")
              and out[1:] in (["(b'\\x00S',", "3)"], ["('\\x00S',", "3L)"]),
              "pyvaskor.py, run itself, gives the extension module: %s" % " ".join(out))
    stubs = os.path.join(site, "pyvaskor-stubs", "__init__.pyi")
    check(os.path.isfile(stubs) and read(stubs) == read(os.path.join(site, "pyvaskor.pyi")),
          "pyvaskor-stubs/__init__.pyi is the stub")
    dist_info = glob.glob(os.path.join(site, "pyvaskor-*.dist-info"))
    check(len(dist_info) == 1, "one pyvaskor dist-info: %s" % dist_info)
    if len(dist_info) == 1:
        check(os.path.isfile(os.path.join(dist_info[0], "LICENSE")), "LICENSE installed")
        meta = read(os.path.join(dist_info[0], "METADATA")).decode("utf-8")
        version = re.search(r"^Version: (.*)$", meta, re.M).group(1)
        check(getattr(pyvaskor, "__version__", None) == version,
              "pyvaskor.__version__ %r is the wheel's version %s"
              % (getattr(pyvaskor, "__version__", None), version))
        check(type(getattr(pyvaskor, "__version__", None)) is str, "__version__ is a str")
        tags = sorted(re.findall(r"^Tag: (.*)$", read(os.path.join(dist_info[0], "WHEEL"))
                                 .decode("utf-8"), re.M))
        check(len(tags) >= 2 and all(re.match(r"py[23]-none-manylinux_?\w+$", t) for t in tags),
              "installed from the universal manylinux wheel: %s" % ", ".join(tags))


if __name__ == "__main__":
    sys.exit(main())
