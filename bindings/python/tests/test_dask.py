"""gantrix.dask on a local cluster of two worker processes: both columns, row for row, equal
to the direct calls. Skipped (saying why) where Dask is not installed."""

import random
import subprocess
import sys
import unittest

import gantrix

try:
    import dask.dataframe as dd
    import pandas
    from dask.distributed import Client, LocalCluster

    import gantrix.dask as gdask
except ImportError as e:
    missing = "Dask is not installed for this Python (%s)" % e
else:
    missing = None

TIMEOUT_S = 50  # the whole test, cluster start included, stays well under a minute


def find_code(lat, lng):
    try:
        return gantrix.find(lat, lng)["code"]
    except gantrix.GantrixError:
        return None


@unittest.skipIf(missing, missing)
class Columns(unittest.TestCase):
    def test_columns_on_a_two_process_cluster(self):
        rng = random.Random(11)
        points = [(rng.uniform(-60, 75), rng.uniform(-180, 180)) for _ in range(3000)]
        points += [(48.8566, 2.3522), (91.0, 0.0), (float("nan"), 0.0), (0.0, -30.0)]
        frame = pandas.DataFrame({"y": [p[0] for p in points], "x": [p[1] for p in points],
                                  "id": range(len(points))})
        cluster = LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                               host="127.0.0.1", dashboard_address=None, timeout=TIMEOUT_S)
        self.addCleanup(cluster.close)
        client = Client(cluster, timeout=TIMEOUT_S)
        self.addCleanup(client.close)
        ddf = dd.from_pandas(frame, npartitions=6)
        ddf = gdask.add_country(ddf, lat="y", lng="x")
        ddf = gdask.add_airport(ddf, lat="y", lng="x", column="iata")
        self.assertEqual(list(ddf.columns), ["y", "x", "id", "country", "iata"])
        out = client.compute(ddf).result(timeout=TIMEOUT_S).sort_values("id")
        self.assertEqual(len(client.scheduler_info()["workers"]), 2)

        self.assertEqual(list(out["id"]), list(range(len(points))))
        self.assertEqual(list(out["country"]), [gantrix.country_at(*p) for p in points])
        self.assertEqual(list(out["iata"]), [find_code(*p) for p in points])
        self.assertEqual(out["iata"].tolist()[-3:-1], [None, None])  # (91, 0) and NaN: errors


class WithoutDask(unittest.TestCase):
    def test_import_says_what_is_missing(self):
        hide = "import sys; sys.modules['dask'] = None; import gantrix.dask"
        p = subprocess.run([sys.executable, "-c", hide], capture_output=True, text=True)
        self.assertNotEqual(p.returncode, 0)
        self.assertIn("ImportError: gantrix.dask needs Dask", p.stderr)
        self.assertIn("python3-dask", p.stderr)


if __name__ == "__main__":
    unittest.main()
