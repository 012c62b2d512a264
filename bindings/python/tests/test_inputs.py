"""What batches and single calls accept: any real number, any numpy layout, pandas columns
with missing values; what they refuse, before any lookup, naming the argument."""

import decimal
import fractions
import re
import unittest

import gantrix

try:
    import numpy
    import pandas
except ImportError:
    numpy = pandas = None

PARIS, SEA, SYDNEY = (48.8566, 2.3522), (30.0, -40.0), (-33.86, 151.21)


class Real:
    def __float__(self):
        return 48.0


class Coordinates(unittest.TestCase):
    def test_any_real_number(self):
        s = gantrix.AirportSet(["CDG", "LHR"])
        self.addCleanup(s.close)
        calls = [gantrix.find, gantrix.country_at, s.resolve, lambda a, b: s.nearest(*PARIS, max_km=a),
                 lambda a, b: gantrix.find_many([(a, b)]), lambda a, b: gantrix.country_at_many(lats=[a], lngs=[b])]
        reals = [(48, 2), (decimal.Decimal(48), fractions.Fraction(2)), (Real(), True + True)]
        if numpy:
            reals += [(numpy.float32(48), numpy.uint8(2)), (numpy.array(48.0), numpy.int16(2))]
        for call in calls:
            for point in reals:
                with self.subTest(call=call, point=point):
                    self.assertEqual(call(*point), call(48.0, 2.0))

    def test_refused_before_any_lookup(self):
        wrong = ["48", b"48", 1j] + ([numpy.complex128(48)] if numpy else [])
        calls = [(TypeError, "lat must be a real number", lambda v: gantrix.find(v, 2)),
                 (TypeError, "max_km must be a real number", lambda v: gantrix.AirportSet([]).nearest(1, 2, max_km=v)),
                 (TypeError, r"latitude of points\[1\] must be a real", lambda v: gantrix.find_many([PARIS, (v, 2)])),
                 (TypeError, r"lngs\[2\] must be a real number", lambda v: gantrix.country_at_many(lats=[1] * 3, lngs=[1, 2, v])),
                 (TypeError, r"points\[0\] must be a \(lat, lng\) pair", lambda v: gantrix.find_many([(1, v, 3)])),
                 (ValueError, "lats and lngs differ in length", lambda v: gantrix.country_at_many(lats=[1, 2], lngs=[1])),
                 (TypeError, "give points, or lats and lngs, not both", lambda v: gantrix.country_at_many([(1, 1)], lats=[1], lngs=[1])),
                 (TypeError, "give points, or both lats and lngs", lambda v: gantrix.country_at_many(lats=[1])),
                 (OverflowError, "limit is outside", lambda v: gantrix.AirportSet([]).nearest(1, 2, limit=2**63)),
                 (TypeError, "limit must be an integer", lambda v: gantrix.AirportSet([]).nearest(1, 2, limit=2.0)),
                 (ValueError, "threads must be at least 1", lambda v: gantrix.find_many([PARIS], threads=0)),
                 (TypeError, r"codes\[0\] must be a str", lambda v: gantrix.AirportSet([b"CDG"])),
                 (TypeError, "country must be a str", lambda v: gantrix.AirportSet([]).nearest(1, 2, country=b"fr")),
                 (ValueError, "code must not contain a NUL byte$", lambda v: gantrix.airport("CD\0G")),
                 (ValueError, "code must not contain a NUL byte$", lambda v: gantrix.AirportSet(["CDG"]).__contains__("C\0")),
                 (ValueError, "codes must not contain a NUL byte$", lambda v: gantrix.AirportSet(["CDG", "\0"])),
                 (ValueError, "codes must not contain the byte 0x1F, which separates them$",
                  lambda v: gantrix.AirportSet(["CDG\x1fLHR"])),
                 (TypeError, "codes must be an iterable of codes, not one str", lambda v: gantrix.AirportSet("CDG"))]
        # Surely mistakes, in the wording every surface shares (include/gantrix_arguments.hpp).
        s = gantrix.AirportSet(["CDG", "LHR"])
        calls += [(ValueError, re.escape(message) + "$", call) for call, message in [
            (lambda v: s.nearest(*PARIS, limit=-1), "limit must not be negative"),
            (lambda v: s.nearest(*PARIS, max_km=-1), "max_km must not be negative"),
            (lambda v: s.nearest(*PARIS, max_km=float("nan")), "max_km must be a number, not NaN"),
            (lambda v: s.resolve(*PARIS, foreign_max_km=-0.5), "foreign_max_km must not be negative"),
            (lambda v: s.nearest(*PARIS, country="fra"), 'country must be two ASCII letters, such as "fr"'),
            (lambda v: s.nearest(*PARIS, country="é1"), 'country must be two ASCII letters, such as "fr"')]]
        for error, message, call in calls:
            for value in wrong:
                with self.subTest(message, value=value), self.assertRaisesRegex(error, "^" + message):
                    call(value)
        self.assertEqual(len(s.nearest(*PARIS, limit=2**63 - 1, max_km=float("inf"), country="FR")), 1)
        with self.assertRaisesRegex(OverflowError, "^lat is too large"):
            gantrix.find(10**400, 0)

    @unittest.skipUnless(pandas, "numpy and pandas are not installed")
    def test_arrays_and_columns_with_missing_points(self):
        table = numpy.array([PARIS, (0.0, 0.0), SEA, SYDNEY, (91.0, 0.0)])
        hole = [0, 1, 0, 0, 0]  # the second point is missing in every input
        masked = numpy.ma.masked_array(table, mask=numpy.array([hole, [0] * 5]).T)
        inputs = {
            "masked (n, 2)": dict(points=masked),
            "masked column, Fortran order": dict(lats=masked.copy(order="F")[:, 0], lngs=table[:, 1]),
            "masked column, negative stride": dict(
                lats=numpy.ma.masked_array(table[::-1, 0].copy(), mask=hole[::-1])[::-1], lngs=table[:, 1]),
            "pandas Float64": dict(lats=pandas.Series(masked[:, 0].tolist(), dtype="Float64"),
                                   lngs=pandas.Series(table[:, 1])),
            "pandas Int16": dict(lats=pandas.array([48, None, 30, -34, 91], dtype="Int16"),
                                 lngs=table[:, 1].astype(numpy.float32)),
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
                self.assertEqual(gantrix.country_at_many(**kwargs), list(got["country"]))
        for bad in (table.astype(complex), table > 0):
            with self.assertRaisesRegex(TypeError, "^points must hold real numbers"):
                gantrix.find_many(bad)
        with self.assertRaisesRegex(ValueError, "two columns"):
            gantrix.find_many(numpy.zeros((3, 3)))
