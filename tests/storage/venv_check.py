"""The wheel as a data engineer installs it: into a fresh venv that sees
Debian's numpy, numcodecs and zarr (--system-site-packages), offline. From
there the guest tests run on the installed codecs (a SIGINT during a zarr
read raises KeyboardInterrupt), and the `vaskor` script pip made packs a
.npy file with `vaskor bench`.

    python3 venv_check.py <directory holding pyvaskor.so> <work directory>

Exits 77 (skipped) without venv or pip.
"""

import os
import runpy
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def main():
    module_dir, work = sys.argv[1:3]
    shutil.rmtree(work, True)
    builder = runpy.run_path(os.path.join(ROOT, "packaging", "build_wheel.py"))
    wheel = builder["build"](os.path.join(module_dir, "pyvaskor.so"), os.path.join(work, "dist"))
    env = dict((k, v) for k, v in os.environ.items() if k not in ("PYTHONPATH", "VIRTUAL_ENV"))
    venv = os.path.join(work, "venv")
    py = os.path.join(venv, "bin", "python")
    if subprocess.call([sys.executable, "-m", "venv", "--system-site-packages", venv], env=env) != 0 or \
            subprocess.call([py, "-m", "pip", "--version"], env=env, stdout=subprocess.DEVNULL) != 0:
        print("skipped: no venv with pip (python3-venv)")
        return 77
    subprocess.check_call([py, "-m", "pip", "install", "-q", "--no-index", "--no-deps", wheel], env=env)
    # The guest cases, their fresh readers started by the venv's python.
    guest = subprocess.call([py, "-m", "unittest", "-v", "test_guest"], cwd=HERE, env=env)
    subprocess.check_call([py, "-c", "import numpy as np; np.save('c.npy', np.arange(50000) * 7)"],
                          cwd=work, env=env)
    bench = subprocess.run([os.path.join(venv, "bin", "vaskor"), "bench", "c.npy", "--runs", "1"],
                           cwd=work, env=env, stdout=subprocess.PIPE, universal_newlines=True)
    print(bench.stdout)
    if guest != 0 or bench.returncode != 0 or "pyvaskor blocked/auto" not in bench.stdout:
        print("FAILED: guest cases status %d, vaskor bench status %d" % (guest, bench.returncode))
        return 1
    print("ok: from the venv's wheel, the guest cases pass and vaskor bench runs")
    return 0


if __name__ == "__main__":
    sys.exit(main())
