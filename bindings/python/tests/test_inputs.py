"""What the binding accepts as arguments: every real number for coordinates and distances,
str for codes, integers in the signed 64-bit range; everything else fails before any call,
naming the argument."""

import decimal
import fractions
import unittest

import gantrix

try:
    import numpy
except ImportError:
    numpy = None

PARIS = (48.8566, 2.3522)
BERLIN = (52.52, 13.40)
HUBS = ["CDG", "LHR", "JFK", "SYD"]


class Real:
    """Anything with __float__ is a number."""

    def __init__(self, value):
        self.value = value

    def __float__(self):
        return self.value


class Integers(unittest.TestCase):
    def setUp(self):
        self.s = gantrix.AirportSet(HUBS)
        self.addCleanup(self.s.close)

    def test_limit_in_range_is_passed_exactly(self):
        cases = [(2**63 - 1, 4), (4, 4), (1, 1), (0, 0), (-1, 0), (-2**63, 0), (True, 1)]
        if numpy is not None:
            cases += [(numpy.int64(2), 2), (numpy.uint64(2**63 - 1), 4)]
        for limit, size in cases:
            with self.subTest(limit=limit):
                self.assertEqual(len(self.s.nearest(*PARIS, limit=limit)), size)

    def test_limit_out_of_range_is_refused(self):
        # ctypes would wrap these to 1, -2**63 and 2**63 - 1.
        for limit in (2**64 + 1, 2**63, -2**63 - 1, 10**30):
            with self.subTest(limit=limit), self.assertRaisesRegex(OverflowError, "limit"):
                self.s.nearest(*PARIS, limit=limit)

    def test_limit_must_be_an_integer(self):
        for limit in (2.0, "2", None, b"2", decimal.Decimal(2)):
            with self.subTest(limit=limit), self.assertRaisesRegex(TypeError, "limit"):
                self.s.nearest(*PARIS, limit=limit)

    def test_thread_count(self):
        for threads, error in ((0, ValueError), (-1, ValueError), (2**64, OverflowError),
                               (1.0, TypeError), ("2", TypeError)):
            with self.subTest(threads=threads), self.assertRaisesRegex(error, "threads"):
                gantrix.find_many([PARIS], threads=threads)


class Types(unittest.TestCase):
    def setUp(self):
        self.s = gantrix.AirportSet(HUBS)
        self.addCleanup(self.s.close)

    def test_any_real_number_is_a_coordinate(self):
        lat, lng = 48, 2
        reals = [(lat, lng), (decimal.Decimal(lat), decimal.Decimal(lng)),
                 (fractions.Fraction(lat), fractions.Fraction(lng)), (Real(48.0), Real(2.0))]
        if numpy is not None:
            reals += [(numpy.float32(lat), numpy.float64(lng)), (numpy.int16(lat), numpy.uint8(lng)),
                      (numpy.array(48.0), numpy.array(2))]
        calls = [gantrix.find, gantrix.country_at, self.s.resolve, self.s.nearest,
                 lambda a, b: self.s.nearest(*PARIS, max_km=a),  # 48 km: CDG only
                 lambda a, b: self.s.resolve(*BERLIN, foreign_max_km=a),  # none that near
                 lambda a, b: gantrix.find_many([(a, b)]),
                 lambda a, b: gantrix.country_at_many(lats=[a], lngs=[b])]
        for call in calls:
            expected = call(48.0, 2.0)
            for point in reals:
                with self.subTest(call=call, point=point):
                    self.assertEqual(call(*point), expected)

    def test_text_and_none_are_not_coordinates(self):
        texts = ("48.8", b"48.8", bytearray(b"4"), 1j)
        calls = [
            ("lat", lambda v: gantrix.find(v, 2.3), texts + (None,)),
            ("lng", lambda v: gantrix.country_at(48.8, v), texts + (None,)),
            ("lat", lambda v: self.s.nearest(v, 2.3), texts + (None,)),
            ("max_km", lambda v: self.s.nearest(48.8, 2.3, max_km=v), texts),  # None: not given
            ("foreign_max_km", lambda v: self.s.resolve(48.8, 2.3, foreign_max_km=v), texts),
            ("latitude of points\\[1\\]", lambda v: gantrix.find_many([PARIS, (v, 2.3)]),
             texts + (None,)),
            ("longitude of points\\[0\\]", lambda v: gantrix.country_at_many([(48.8, v)]),
             texts + (None,)),
            ("lngs\\[2\\]", lambda v: gantrix.find_many(lats=[1, 2, 3], lngs=[1, 2, v]),
             texts + (None,)),
        ]
        for name, call, values in calls:
            for value in values:
                with self.subTest(name=name, value=value), \
                        self.assertRaisesRegex(TypeError, "^%s must be a real number" % name):
                    call(value)

    def test_too_large_for_a_float(self):
        with self.assertRaisesRegex(OverflowError, "lat"):
            gantrix.find(10**400, 0)

    def test_codes_are_str(self):
        calls = [("code", lambda v: gantrix.airport(v)),
                 ("codes\\[1\\]", lambda v: gantrix.AirportSet(["CDG", v])),
                 ("code", lambda v: v in self.s),
                 ("country", lambda v: self.s.nearest(*PARIS, country=v))]
        for name, call in calls:
            for value in (b"CDG", 7, bytearray(b"CDG")):
                with self.subTest(name=name, value=value), \
                        self.assertRaisesRegex(TypeError, "^%s must be a str" % name):
                    call(value)
        self.assertEqual(self.s.nearest(*PARIS, country="FR", limit=9)[0]["iata"], "CDG")

    def test_malformed_points(self):
        for points, error in [([(1.0,)], TypeError), ([(1.0, 2.0, 3.0)], TypeError),
                              ([5.0], TypeError), ([PARIS], None)]:
            with self.subTest(points=points):
                if error is None:
                    gantrix.find_many(points)
                else:
                    with self.assertRaisesRegex(error, r"points\[0\] must be a \(lat, lng\) pair"):
                        gantrix.find_many(points)
        with self.assertRaisesRegex(ValueError, "differ in length"):
            gantrix.country_at_many(lats=[1.0, 2.0], lngs=[1.0])
        with self.assertRaisesRegex(TypeError, "not both"):
            gantrix.country_at_many([PARIS], lats=[1.0], lngs=[1.0])
        with self.assertRaisesRegex(TypeError, "both lats and lngs"):
            gantrix.country_at_many(lats=[1.0])


if __name__ == "__main__":
    unittest.main()
