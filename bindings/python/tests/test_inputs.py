"""What batches and single calls accept: any real number, any numpy layout, pandas columns
with missing values; what they refuse, before any lookup, naming the argument."""

import decimal
import fractions
import unittest

import gantrix

try:
    import numpy
    import pandas
except ImportError:
    numpy = pandas = None
with_pandas = unittest.skipUnless(pandas, "numpy and pandas are not installed")

PARIS, SEA, SYDNEY = (48.8566, 2.3522), (30.0, -40.0), (-33.86, 151.21)


class Real:
    def __float__(self):
        return 48.0


class Coordinates(unittest.TestCase):
    def test_any_real_number(self):
        s = gantrix.AirportSet(["CDG", "LHR"])
        self.addCleanup(s.close)
        calls = [gantrix.find, gantrix.country_at, s.resolve, s.nearest,
                 lambda a, b: s.nearest(*PARIS, max_km=a),
                 lambda a, b: gantrix.find_many([(a, b)]),
                 lambda a, b: gantrix.country_at_many(lats=[a], lngs=[b])]
        reals = [(48, 2), (decimal.Decimal(48), fractions.Fraction(2)), (Real(), True + True)]
        if numpy:
            reals += [(numpy.float32(48), numpy.uint8(2)), (numpy.array(48.0), numpy.int16(2))]
        for call in calls:
            for point in reals:
                with self.subTest(call=call, point=point):
                    self.assertEqual(call(*point), call(48.0, 2.0))

    def test_not_real_numbers(self):
        wrong = ["48", b"48", 1j, None] + ([numpy.complex128(48)] if numpy else [])
        calls = [("lat", lambda v: gantrix.find(v, 2)), ("lng", lambda v: gantrix.country_at(1, v)),
                 ("max_km", lambda v: gantrix.AirportSet([]).nearest(1, 2, max_km=v or "x")),
                 ("latitude of points\\[1\\]", lambda v: gantrix.find_many([PARIS, (v or "x", 2)])),
                 ("lngs\\[2\\]", lambda v: gantrix.country_at_many(lats=[1] * 3, lngs=[1, 2, v or "x"]))]
        for name, call in calls:
            for value in wrong:
                with self.subTest(name, value=value), \
                        self.assertRaisesRegex(TypeError, "^%s must be a real number" % name):
                    call(value)
        with self.assertRaisesRegex(OverflowError, "^lat is too large"):
            gantrix.find(10**400, 0)

    def test_shapes(self):
        for points, error in [([(1.0,)], TypeError), ([(1.0, 2.0, 3.0)], TypeError), ([5.0], TypeError)]:
            with self.subTest(points=points), self.assertRaisesRegex(error, r"^points\[0\] must be"):
                gantrix.find_many(points)
        for kwargs, error, text in [(dict(lats=[1.0, 2.0], lngs=[1.0]), ValueError, "differ in length"),
                                    (dict(points=[PARIS], lats=[1.0], lngs=[1.0]), TypeError, "not both"),
                                    (dict(lats=[1.0]), TypeError, "both lats and lngs")]:
            with self.subTest(kwargs), self.assertRaisesRegex(error, text):
                gantrix.country_at_many(**kwargs)

    @with_pandas
    def test_arrays_and_columns_with_missing_points(self):
        table = numpy.array([PARIS, (0.0, 0.0), SEA, SYDNEY, (91.0, 0.0)])
        hole = [0, 1, 0, 0, 0]  # the second point is missing in every input
        masked = numpy.ma.masked_array(table, mask=numpy.array([hole, [0] * 5]).T)
        reversed_lats = numpy.ma.masked_array(table[::-1, 0].copy(), mask=hole[::-1])[::-1]
        inputs = {
            "masked (n, 2)": dict(points=masked),
            "masked column, Fortran order": dict(lats=masked.copy(order="F")[:, 0],
                                                 lngs=table[:, 1]),
            "masked column, negative stride": dict(lats=reversed_lats, lngs=table[:, 1]),
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
                self.assertEqual(list(got["reason"]), [None, "missing coordinates", None, None,
                                                       "invalid coordinates"])
                self.assertEqual(gantrix.country_at_many(**kwargs), list(got["country"]))
        for bad in (table.astype(complex), table > 0):
            with self.assertRaisesRegex(TypeError, "^points must hold real numbers"):
                gantrix.find_many(bad)
        with self.assertRaisesRegex(ValueError, "two columns"):
            gantrix.find_many(numpy.zeros((3, 3)))


class Refused(unittest.TestCase):
    """The wording every surface shares (include/gantrix_arguments.hpp)."""

    def test_surely_mistakes(self):
        with gantrix.AirportSet(["CDG", "LHR"]) as s:
            cases = [(lambda: s.nearest(*PARIS, limit=-1), "limit must not be negative"),
                     (lambda: s.nearest(*PARIS, max_km=-1), "max_km must not be negative"),
                     (lambda: s.nearest(*PARIS, max_km=float("nan")), "max_km must be a number, not NaN"),
                     (lambda: s.resolve(*PARIS, foreign_max_km=-0.5), "foreign_max_km must not be negative"),
                     (lambda: s.nearest(*PARIS, country="fra"), 'country must be two ASCII letters, such as "fr"'),
                     (lambda: s.nearest(*PARIS, country="é1"), 'country must be two ASCII letters, such as "fr"')]
            for call, message in cases:
                with self.subTest(message), self.assertRaises(ValueError) as caught:
                    call()
                self.assertEqual(str(caught.exception), message)
            self.assertEqual(len(s.nearest(*PARIS, limit=2**63 - 1, max_km=float("inf"), country="FR")), 1)

    def test_integers_are_never_wrapped(self):
        with gantrix.AirportSet(["CDG"]) as s:
            for limit, error in ((2**63, OverflowError), (2.0, TypeError), ("2", TypeError)):
                with self.subTest(limit=limit), self.assertRaisesRegex(error, "limit"):
                    s.nearest(*PARIS, limit=limit)
        for threads, error in ((0, ValueError), (2**64, OverflowError), (1.0, TypeError)):
            with self.subTest(threads=threads), self.assertRaisesRegex(error, "threads"):
                gantrix.find_many([PARIS], threads=threads)

    def test_codes_are_str(self):
        for call in (gantrix.airport, lambda v: gantrix.AirportSet([v]),
                     lambda v: gantrix.AirportSet([]).nearest(1, 2, country=v)):
            with self.subTest(call=call), self.assertRaisesRegex(TypeError, "must be a str"):
                call(b"CDG")
        with self.assertRaisesRegex(ValueError, "NUL"):
            gantrix.airport("CD\0G")


if __name__ == "__main__":
    unittest.main()
