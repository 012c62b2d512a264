"""Columns for pandas and Dask DataFrames: the batches' answers under the shared names, never
an exception for a row's values, and the same on a two-process cluster."""

import unittest

import gantrix
from reference import seeded_points

try:
    import pandas
    import dask.dataframe as dd
    from dask.distributed import Client, LocalCluster

    import gantrix.dask as gdask
except ImportError as e:
    pandas = missing = "pandas or Dask is not installed for this Python (%s)" % e
else:
    missing = None

POINTS = seeded_points(3000, seed=11) + [(48.8566, 2.3522), (None, 0.0), (30.0, -40.0)]


def frame():
    return pandas.DataFrame({"y": pandas.array([p[0] for p in POINTS], dtype="Float64"),
                             "x": [p[1] for p in POINTS], "id": range(len(POINTS))},
                            index=range(10, 10 + len(POINTS)))


def both(df, **airport):
    return gantrix.add_airport(gantrix.add_country(df, "y", "x"), "y", "x", **airport)


@unittest.skipIf(missing, missing)
class Frames(unittest.TestCase):
    def test_columns(self):
        df = frame()
        out = both(df, details=["iata", "lat"])
        self.assertEqual(list(out.columns), ["y", "x", "id", "country", "airport", "airport_iata", "airport_lat"])
        self.assertEqual((list(df.columns), out.index.equals(df.index)), (["y", "x", "id"], True))
        found = gantrix.find_many(POINTS, columns=True, details=["iata", "lat"])
        self.assertEqual(list(out["country"]), gantrix.country_at_many(POINTS))
        self.assertEqual(list(out["airport_iata"]), list(found["airport_iata"]))
        self.assertEqual(out["airport_lat"].dtype, "float64")
        self.assertEqual(out.iloc[-3:]["airport"].tolist(), ["fr.ory", None, None])

    def test_refusals(self):
        df = frame()
        for call, error, message in [
                (lambda: gantrix.add_country(df, "y", "x", column="id"), ValueError, "already has a column 'id'"),
                (lambda: gantrix.add_airport(df.assign(airport_iata=1), "y", "x", details=["iata"]),
                 ValueError, "already has a column 'airport_iata'"),
                (lambda: gantrix.add_country(df), KeyError, "no column 'lat'"),
                (lambda: gantrix.add_airport(df, "y", "x", details=["code"]), ValueError, "no airport detail 'code'")]:
            with self.subTest(message), self.assertRaisesRegex(error, message):
                call()

    def test_dask_on_a_two_process_cluster(self):
        cluster = LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                               host="127.0.0.1", dashboard_address=None, timeout=50)
        self.addCleanup(cluster.close)
        client = Client(cluster, timeout=50)
        self.addCleanup(client.close)
        ddf = gdask.add_country(dd.from_pandas(frame(), npartitions=6), "y", "x")
        ddf = gdask.add_airport(ddf, "y", "x", column="iata", details=["name", "lng"])
        pandas.testing.assert_frame_equal(client.compute(ddf).result(timeout=50),
                                          both(frame(), column="iata", details=["name", "lng"]))
        self.assertEqual(len(client.scheduler_info()["workers"]), 2)
