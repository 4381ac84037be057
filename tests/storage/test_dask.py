"""Dask: an int64 dask array stored through the default codec with to_zarr
(zarr 2) by a local cluster of two worker processes, then read back there,
each worker finding the codec through the wheel's entry point on its own."""

import json
import unittest

from support import major, needs, needs_entry_points, run_fresh, temp_dir

try:
    import zarr
except ImportError:
    zarr = None  # the case below skips, naming the missing package

CLUSTER = """
import json, os, sys
import dask.array as da, numcodecs, numpy as np, zarr
from dask.distributed import Client, LocalCluster

def expected():
    return da.arange(60000, chunks=5000, dtype='int64') * 1000003 - 7 * 10 ** 12

def read_here(path):
    # Each worker reads every chunk itself, so each must find the codec.
    a = zarr.open(path, mode='r')[...]
    return os.getpid(), 'pyvaskor_numcodecs' in sys.modules, int(a.sum())

if __name__ == '__main__':
    path = sys.argv[1]
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                      dashboard_address=None) as cluster, Client(cluster) as client:
        expected().to_zarr(path, compressor=numcodecs.get_codec({'id': 'pyvaskor'}))
        total = int(da.from_zarr(path).sum().compute())
        same = bool((da.from_zarr(path) == expected()).all().compute())
        workers = list(client.run(read_here, path).values())
    print(json.dumps([os.getpid(), total, same, workers, int(expected().sum().compute())]))
"""


@needs_entry_points
@needs("numpy", "dask.array", "distributed", "zarr", "numcodecs", "pyvaskor_frames")
class DaskTest(unittest.TestCase):

    def test_two_worker_processes_read_through_the_entry_point(self):
        if major(zarr) != 2:
            self.skipTest("zarr %s is not zarr 2" % zarr.__version__)
        path = temp_dir() + "/d.zarr"
        me, total, same, workers, want = json.loads(run_fresh(CLUSTER, path).splitlines()[-1])
        self.assertTrue(same)
        self.assertEqual(total, want)
        pids = set(w[0] for w in workers)
        self.assertEqual(len(pids), 2)
        self.assertNotIn(me, pids)
        self.assertEqual([w[1:] for w in workers], [[True, want]] * 2)
        with open(path + "/.zarray") as f:
            self.assertEqual(json.load(f)["compressor"],
                             {"id": "pyvaskor", "layout": "blocked", "transform": "auto"})


if __name__ == "__main__":
    unittest.main()
