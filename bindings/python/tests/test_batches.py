"""find_many and country_at_many: the same answers as one call at a time, in any number of
threads, from pairs or from columns, stopping at the first failure, in little memory."""

import pickle
import random
import tracemalloc
import unittest

import gantrix

try:
    import numpy
except ImportError:
    numpy = None
with_numpy = unittest.skipUnless(numpy, "numpy is not installed")

PARIS = (48.8566, 2.3522)
BAD = (91.0, 0.0)  # find answers {"error": "invalid coordinates"}
rng = random.Random(7)
POINTS = [(rng.uniform(-60, 75), rng.uniform(-180, 180)) for _ in range(9000)]


def run_batch(name, points, **options):
    return getattr(gantrix, name)(points, **options)


def find_or_error(lat, lng):
    try:
        return gantrix.find(lat, lng)
    except gantrix.GantrixError as e:
        return {"error": str(e)}


class CountingLibrary:
    """Stands in for the loaded library and counts the lookups made."""

    def __init__(self, lib):
        self.lib, self.calls = lib, 0

    def __getattr__(self, name):
        fn = getattr(self.lib, name)

        def counted(*args):
            self.calls += 1
            return fn(*args)
        return counted


class Answers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.finds = [find_or_error(*p) for p in POINTS]
        cls.countries = [gantrix.country_at(*p) for p in POINTS]

    def test_every_thread_count_agrees_with_single_calls(self):
        for threads in (1, 2, 3, 8, None):
            with self.subTest(threads=threads):
                self.assertEqual(gantrix.find_many(POINTS, raise_errors=False, threads=threads),
                                 self.finds)
                self.assertEqual(gantrix.country_at_many(POINTS, threads=threads), self.countries)

    @with_numpy
    def test_numpy_arrays(self):
        table = numpy.array(POINTS)
        inputs = [
            ("(n, 2) float64", dict(points=table)),
            ("Fortran order", dict(points=numpy.asfortranarray(table))),
            ("columns", dict(lats=table[:, 0], lngs=table[:, 1])),  # strided views
            ("lists of numpy scalars", dict(lats=list(table[:, 0]), lngs=list(table[:, 1]))),
        ]
        for label, kwargs in inputs:
            for threads in (1, 2):
                with self.subTest(label, threads=threads):
                    self.assertEqual(gantrix.country_at_many(threads=threads, **kwargs),
                                     self.countries)
                    self.assertEqual(gantrix.find_many(raise_errors=False, threads=threads,
                                                       **kwargs), self.finds)
        ints = numpy.array([[48, 2], [-33, 151]], dtype=numpy.int32)
        self.assertEqual(gantrix.country_at_many(ints), ["fr", "au"])
        with self.assertRaisesRegex(TypeError, r"latitude of points\[0\] must be a real number"):
            gantrix.find_many(numpy.array([["48.8", "2.3"]]))
        with self.assertRaisesRegex(ValueError, "two columns"):
            gantrix.find_many(numpy.zeros((3, 3)))

    def test_answers_are_shared_and_read_only(self):
        answers = gantrix.find_many([PARIS, PARIS, BAD, BAD], raise_errors=False)
        self.assertIs(answers[0], answers[1])
        self.assertIs(answers[2], answers[3])
        self.assertEqual(answers[0], gantrix.find(*PARIS))
        for change in (lambda a: a.__setitem__("code", "x"), lambda a: a.pop("code"),
                       lambda a: a.update(code="x"), lambda a: a.clear(),
                       lambda a: a.setdefault("x", 1), lambda a: a.__delitem__("code")):
            with self.subTest(change=change), self.assertRaises(TypeError):
                change(answers[0])
        self.assertEqual(answers[0]["code"], gantrix.find(*PARIS)["code"])
        copy = pickle.loads(pickle.dumps(answers[0]))
        self.assertEqual(copy, answers[0])
        mine = dict(answers[0])
        mine["code"] = "x"  # a copy can be changed


class Failures(unittest.TestCase):
    def setUp(self):
        gantrix.load()
        self.library = gantrix._library
        self.addCleanup(setattr, gantrix, "_library", self.library)

    def test_stops_at_the_first_failing_point(self):
        points = [PARIS] * 20_000
        for bad, threads in ((0, 1), (123, 1), (19_999, 1), (9_000, 2), (15_000, 2), (10, 3)):
            with self.subTest(bad=bad, threads=threads):
                failing = list(points)
                failing[bad] = BAD
                # Later failures, which the later threads meet first.
                failing[min(bad + 1001, len(points) - 1)] = failing[-1] = BAD
                gantrix._library = counting = CountingLibrary(self.library)
                with self.assertRaisesRegex(gantrix.GantrixError,
                                            "^point %d: invalid coordinates$" % bad) as caught:
                    gantrix.find_many(failing, threads=threads)
                gantrix._library = self.library
                self.assertEqual(caught.exception.index, bad)
                if threads == 1:
                    self.assertEqual(counting.calls, bad + 1)

    def test_errors_kept_when_asked(self):
        answers = gantrix.find_many([PARIS, BAD, PARIS], raise_errors=False, threads=2)
        self.assertEqual(answers[1], {"error": "invalid coordinates"})
        self.assertEqual(answers[0], answers[2])


class Memory(unittest.TestCase):
    def test_a_point_costs_less_than_150_bytes(self):
        count = 200_000
        points = [(rng.uniform(-60, 75), rng.uniform(-180, 180)) for _ in range(count)]
        gantrix.find(*PARIS)
        for name in ("find_many", "country_at_many"):
            with self.subTest(name):
                tracemalloc.start()
                try:
                    before = tracemalloc.get_traced_memory()[0]
                    options = {"raise_errors": False} if name == "find_many" else {}
                    answers = run_batch(name, points, **options)
                    kept, peak = tracemalloc.get_traced_memory()
                finally:
                    tracemalloc.stop()
                self.assertEqual(len(answers), count)
                del answers
                self.assertLess((kept - before) / count, 150, "bytes kept per point")
                self.assertLess((peak - before) / count, 150, "bytes per point at the peak")


if __name__ == "__main__":
    unittest.main()
