"""Runs the interactive examples of README.md (the ```python blocks with
>>> prompts) as doctests against the built module; checks that the
README's minimum glibc is the project's (which the module must not exceed),
that `make help` and the README name every target of the Makefile beside
it, and that every figure the README quotes is in the results file it names.

    python3 readme_examples.py <README.md> <directory holding pyvaskor.so> <minimum glibc>
"""

import doctest
import os
import re
import subprocess
import sys


def main():
    readme, module_dir, min_glibc = sys.argv[1:4]
    sys.path.insert(0, module_dir)
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    blocks = re.findall(r"^```python\n(.*?)^```", text, re.M | re.S)
    blocks = [b for b in blocks if b.lstrip().startswith(">>>")]
    if not blocks:
        print("FAILED: no interactive examples in " + readme)
        return 1
    # One namespace for all blocks, in order, as a reader would type them.
    parser = doctest.DocTestParser()
    test = parser.get_doctest("\n".join(blocks), {}, "README.md", readme, 0)
    runner = doctest.DocTestRunner(verbose=False)
    runner.run(test)
    failed, attempted = runner.summarize(verbose=False)
    print("%d of %d README examples failed" % (failed, attempted))
    import pyvaskor
    if not pyvaskor.__file__.startswith(module_dir):
        print("FAILED: imported %s, not the build's module" % pyvaskor.__file__)
        return 1
    if failed or attempted == 0:
        return 1
    return (check_glibc(text, os.path.join(module_dir, "pyvaskor.so"), min_glibc)
            or check_targets(text, readme) or check_figures(text, readme))


def check_glibc(text, module, min_glibc):
    stated = re.findall(r"\*\*Minimum glibc: (\d+\.\d+)\.\*\*", text)
    listing = subprocess.check_output(["readelf", "-VW", module], universal_newlines=True)
    needed = max((int(a), int(b)) for a, b in re.findall(r"Name: GLIBC_(\d+)\.(\d+)", listing))
    if stated != [min_glibc] or needed > tuple(int(n) for n in min_glibc.split(".")):
        print("FAILED: README states minimum glibc %s, the project's is %s; pyvaskor.so needs %d.%d"
              % (stated, min_glibc, needed[0], needed[1]))
        return 1
    print("ok: the README's one minimum glibc, %s, is the project's; pyvaskor.so needs %d.%d"
          % (stated[0], needed[0], needed[1]))
    return 0


def check_targets(text, readme):
    root = os.path.dirname(os.path.abspath(readme))
    with open(os.path.join(root, "Makefile")) as f:
        targets = re.findall(r"^([a-z][\w-]*):", f.read(), re.M)
    targets.remove("all")  # plain `make`
    shown = subprocess.check_output(["make", "-s", "-C", root, "help"],
                                    universal_newlines=True).splitlines()
    bad = [t for t in targets
           if len([line for line in shown if line.startswith("make %s " % t)]) != 1
           or "`make %s`" % t not in text]
    if bad or len(shown) != len(targets):
        print("FAILED: targets %s lack their one `make help` line or README entry;"
              " make help prints %d lines for %d targets" % (bad, len(shown), len(targets)))
        return 1
    print("ok: make help and the README name all %d targets" % len(targets))
    return 0


# A measured figure: a number with a fraction, or a whole one with a unit.
FIGURE = re.compile(r"(?<![\w.^/-])(\d[\d,]*\.\d+|\d[\d,]*(?= ?(?:ns|MB/s|MB|GB/s|bytes)\b))")


def check_figures(text, readme):
    """Each paragraph (with the blocks that follow it) that names a file of
    bench/results may quote only figures that file has; a paragraph of the
    Performance section with figures must name one."""
    root = os.path.dirname(os.path.abspath(readme))
    units = re.split(r"\n\n(?!```)", re.sub(r"\n\n(```)", r"\n\1", text))
    perf = text.index("\n## Performance\n")
    bad, checked, at = [], 0, 0
    for unit in units:
        at = text.find(unit.split("\n", 1)[0], at)
        names = sorted(set(re.findall(r"bench/results/([\w.-]+\.(?:md|txt))", unit)))
        prose = re.sub(r"\([^)]*\)\]|\]\([^)]*\)", "]", unit)  # links' targets
        figures = FIGURE.findall(prose)
        if not names:
            if figures and at >= perf:
                bad.append("figures %s cite no results file: %.60s" % (figures[:3], unit))
            continue
        quoted = ""
        for name in names:
            with open(os.path.join(root, "bench", "results", name), encoding="utf-8") as f:
                quoted += f.read() + "\n"
        for fig in figures:
            checked += 1
            if not re.search(r"(?<![\d.])%s(?!\d)" % re.escape(fig), quoted):
                bad.append("%s is not in %s" % (fig, ", ".join(names)))
    if bad:
        print("FAILED: README figures:\n  " + "\n  ".join(bad))
        return 1
    print("ok: the README's %d figures are in the results files it names" % checked)
    return 0


if __name__ == "__main__":
    sys.exit(main())
