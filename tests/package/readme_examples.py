"""Runs the interactive examples of README.md (the ```python blocks with
>>> prompts) as doctests against the built module.

    python3 readme_examples.py <README.md> <directory holding pyvaskor.so>
"""

import doctest
import re
import sys


def main():
    readme, module_dir = sys.argv[1], sys.argv[2]
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
    return 1 if failed or attempted == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
