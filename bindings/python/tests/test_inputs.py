"""What batches, single calls and the DataFrame helpers accept: any real number, any numpy
layout, pandas columns with missing values; what they refuse, before any lookup, naming the
argument; and the frames' columns under the shared names, the same from Dask's processes."""

import decimal
import fractions
import re
import unittest

import gantrix
from reference import seeded_points

try:
    import numpy
    import pandas
except ImportError:
    numpy = pandas = None
try:
    import dask.dataframe as dd
    import gantrix.dask as gdask
except ImportError:
    dd = None

PARIS, SEA, SYDNEY = (48.8566, 2.3522), (30.0, -40.0), (-33.86, 151.21)
POINTS = seeded_points(3000, seed=11) + [PARIS, (None, 0.0), SEA]


def frame():
    return pandas.DataFrame({"y": pandas.array([p[0] for p in POINTS], dtype="Float64"),
                             "x": [p[1] for p in POINTS], "id": range(len(POINTS))},
                            index=range(10, 10 + len(POINTS)))


def both(df, **airport):
    return gantrix.add_airport(gantrix.add_country(df, "y", "x"), "y", "x", **airport)


class Coordinates(unittest.TestCase):
    def test_any_real_number(self):
        s = gantrix.AirportSet(["CDG", "LHR"])
        self.addCleanup(s.close)
        # One call per way in: single calls, an optional real, pairs, and columns.
        calls = [gantrix.find, lambda a, b: s.nearest(*PARIS, max_km=a),
                 lambda a, b: gantrix.find_many([(a, b)]), lambda a, b: gantrix.country_at_many(lats=[a], lngs=[b])]
        reals = [(48, 2), (decimal.Decimal(48), fractions.Fraction(2)), (48.0, True + True)] + ([
            (numpy.float32(48), numpy.uint8(2)), (numpy.array(48.0), numpy.int16(2))] if numpy else [])
        for call in calls:
            for point in reals:
                with self.subTest(call=call, point=point):
                    self.assertEqual(call(*point), call(48.0, 2.0))

    def test_refused_before_any_lookup(self):
        s = gantrix.AirportSet(["CDG", "LHR"])
        self.addCleanup(s.close)
        calls = [(TypeError, "lat must be a real number", lambda v: gantrix.find(v, 2)),
                 (TypeError, r"latitude of points\[1\] must be a real", lambda v: gantrix.find_many([PARIS, (v, 2)])),
                 (TypeError, r"lngs\[2\] must be a real number", lambda v: gantrix.country_at_many(lats=[1] * 3, lngs=[1, 2, v])),
                 (TypeError, r"points\[0\] must be a \(lat, lng\) pair", lambda v: gantrix.find_many([(1, v, 3)])),
                 (ValueError, "lats and lngs differ in length", lambda v: gantrix.country_at_many(lats=[1, 2], lngs=[1])),
                 (OverflowError, "limit is outside", lambda v: s.nearest(1, 2, limit=2**63)),
                 (ValueError, "threads must be at least 1", lambda v: gantrix.find_many([PARIS], threads=0)),
                 (TypeError, r"codes\[0\] must be a str", lambda v: gantrix.AirportSet([b"CDG"])),
                 (TypeError, "codes must be an iterable of codes, not one str", lambda v: gantrix.AirportSet("CDG"))]
        # Surely mistakes, in the wording every surface shares (include/gantrix_arguments.hpp).
        calls += [(ValueError, re.escape(message) + "$", call) for call, message in [
            (lambda v: s.nearest(*PARIS, limit=-1), "limit must not be negative"),
            (lambda v: s.nearest(*PARIS, max_km=float("nan")), "max_km must be a number, not NaN"),
            (lambda v: s.resolve(*PARIS, foreign_max_km=-0.5), "foreign_max_km must not be negative"),
            (lambda v: s.nearest(*PARIS, country="é1"), 'country must be two ASCII letters, such as "fr"'),
            (lambda v: gantrix.airport("CD\0G"), "code must not contain a NUL byte"),
            (lambda v: "C\0" in s, "code must not contain a NUL byte"),
            (lambda v: gantrix.AirportSet(["CDG\x1fLHR"]), "codes must not contain the byte 0x1F, which separates them")]]
        for error, message, call in calls:
            for value in ["48", 1j] + ([numpy.complex128(48)] if numpy else []):
                with self.subTest(message, value=value), self.assertRaisesRegex(error, "^" + message):
                    call(value)
        self.assertEqual(len(s.nearest(*PARIS, limit=2**63 - 1, max_km=float("inf"), country="FR")), 1)

    @unittest.skipUnless(pandas, "numpy and pandas are not installed")
    def test_arrays_and_columns_with_missing_points(self):
        table = numpy.array([PARIS, (0.0, 0.0), SEA, SYDNEY, (91.0, 0.0)])
        hole = [0, 1, 0, 0, 0]  # the second point is missing in every input
        masked = numpy.ma.masked_array(table, mask=numpy.array([hole, [0] * 5]).T)
        inputs = {
            "masked (n, 2)": dict(points=masked),
            "pandas Int16, float32": dict(lats=pandas.array([48, None, 30, -34, 91], dtype="Int16"),
                                          lngs=pandas.Series(table[:, 1].astype(numpy.float32))),
            "object column": dict(lats=numpy.array([48.8566, None, 30, -33.86, 91], dtype=object),
                                  lngs=list(table[:, 1])),
            "pairs": dict(points=[PARIS, (pandas.NA, 0), SEA, SYDNEY, (91, 0)]),
        }
        for label, kwargs in inputs.items():
            with self.subTest(label):
                got = gantrix.country_at_many(**kwargs, columns=True)
                self.assertEqual(list(got["country"]), ["fr", None, None, "au", None])
                self.assertEqual(list(got["reason"]),
                                 [None, "missing coordinates", None, None, "invalid coordinates"])
        with self.assertRaisesRegex(TypeError, "^points must hold real numbers"):
            gantrix.find_many(table.astype(complex))


@unittest.skipUnless(pandas, "numpy and pandas are not installed")
class Frames(unittest.TestCase):
    def test_columns_and_refusals(self):
        df = frame()
        out = both(df, details=["iata", "lat"])
        self.assertEqual(list(out.columns), ["y", "x", "id", "country", "airport", "airport_iata", "airport_lat"])
        self.assertEqual((list(df.columns), out.index.equals(df.index)), (["y", "x", "id"], True))
        self.assertEqual(list(out["country"]), gantrix.country_at_many(POINTS))
        self.assertEqual(out["airport_lat"].dtype, "float64")
        self.assertEqual(out.iloc[-3:][["airport", "airport_iata"]].values.tolist(),
                         [["fr.ory", "ORY"], [None, None], [None, None]])
        with self.assertRaisesRegex(ValueError, "already has a column 'airport_iata'"):
            gantrix.add_airport(df.assign(airport_iata=1), "y", "x", details=["iata"])
        with self.assertRaisesRegex(ValueError, "no airport detail 'code'"):
            gantrix.add_airport(df, "y", "x", details=["code"])

    @unittest.skipUnless(dd, "Dask is not installed")
    def test_dask_in_other_processes(self):
        ddf = gdask.add_country(dd.from_pandas(frame(), npartitions=6), "y", "x")
        ddf = gdask.add_airport(ddf, "y", "x", column="iata", details=["name", "lng"])
        pandas.testing.assert_frame_equal(ddf.compute(scheduler="processes"),
                                          both(frame(), column="iata", details=["name", "lng"]))
