"""Batches on any number of threads: the same answers, the first failing point named, shared
read-only answers, no leak, and an interpreter that exits while threads are mid-batch."""

import gc
import subprocess
import sys
import threading
import tracemalloc
import unittest

import gantrix
from reference import seeded_points

PARIS, BAD = (48.8566, 2.3522), (91.0, 0.0)
POINTS = seeded_points(20_000, seed=7)


class Batches(unittest.TestCase):
    def test_thread_counts_agree(self):
        finds = gantrix.find_many(POINTS, raise_errors=False)
        countries = gantrix.country_at_many(POINTS)
        for threads in (2, 3, 16, None):
            with self.subTest(threads=threads):
                self.assertEqual(gantrix.find_many(POINTS, raise_errors=False, threads=threads), finds)
                self.assertEqual(gantrix.country_at_many(POINTS, threads=threads), countries)

    def test_first_failing_point(self):
        for bad, threads in ((0, 1), (19_999, 1), (9_000, 2), (15_000, 3), (10, 4)):
            with self.subTest(bad=bad, threads=threads):
                points = [PARIS] * 20_000
                points[bad] = BAD
                points[min(bad + 1001, 19_999)] = points[-1] = (float("nan"), 0)  # later failures
                with self.assertRaisesRegex(gantrix.GantrixError,
                                            "^point %d: invalid coordinates$" % bad) as caught:
                    gantrix.find_many(points, threads=threads)
                self.assertEqual(caught.exception.index, bad)

    def test_answers_are_shared_and_read_only(self):
        answers = gantrix.find_many([PARIS, PARIS, BAD, BAD], raise_errors=False)
        self.assertIs(answers[0], answers[1])
        self.assertIs(answers[2], answers[3])
        self.assertEqual(answers[2], {"error": "invalid coordinates"})
        for change in (lambda a: a.__setitem__("code", "x"), lambda a: a.pop("code"),
                       lambda a: a.update(code="x"), lambda a: a.clear()):
            with self.subTest(change=change), self.assertRaises(TypeError):
                change(answers[0])
        self.assertEqual(answers[0], gantrix.find(*PARIS))

    def test_no_leak(self):
        calls = [lambda: gantrix.find_many(POINTS[:3000], raise_errors=False, threads=2),
                 lambda: gantrix.country_at_many(POINTS[:3000], columns=True),
                 lambda: gantrix.find_many(POINTS[:3000], columns=True, details=["name", "lat"]),
                 lambda: [gantrix.find_many([p], raise_errors=False) for p in POINTS[:300]],
                 lambda: gantrix.airport("fr.ory")]
        for call in calls:
            with self.subTest(call=call):
                call(), gc.collect()
                tracemalloc.start()
                try:
                    for _ in range(20):
                        call()
                    gc.collect()
                    kept = tracemalloc.get_traced_memory()[0]
                finally:
                    tracemalloc.stop()
                self.assertLess(kept, 20_000, "bytes kept after 20 calls")

    def test_concurrent_calls_agree(self):
        s = gantrix.AirportSet(["CDG", "JFK", "SYD", "GRU", "NRT"])
        self.addCleanup(s.close)

        def calls():
            with gantrix.AirportSet(["LHR", "ORY", "XXX"]) as own:
                mine = (len(own), own.missing, own.nearest(51.5, -0.12, limit=1)[0]["iata"])
            return ([(gantrix.country_at(*p), s.resolve(*p), s.nearest(*p, limit=2))
                     for p in POINTS[:1000] if abs(p[0]) <= 90 and abs(p[1]) < 1e300],
                    gantrix.find_many(POINTS, raise_errors=False, threads=2), mine)

        expected, results = calls(), [None] * 4
        workers = [threading.Thread(target=lambda n=n: results.__setitem__(n, calls())) for n in range(4)]
        for t in workers:
            t.start()
        for t in workers:
            t.join()
        self.assertEqual(results, [expected] * 4)


# Daemon threads in batches while sets held in reference cycles are still alive at exit: the
# finalizers run with the threads frozen mid-call, and the threads come back to no interpreter.
EXIT_WHILE_BUSY = """
import gc, threading, gantrix
points = [(48.85, 2.35)] * 20000
def batches(threads):
    while True:
        gantrix.find_many(points, threads=threads)
        gantrix.country_at(1, 2)
for threads in (1, 2, 2):
    threading.Thread(target=batches, args=(threads,), daemon=True).start()
class Holder:
    def __init__(self):
        self.me, self.s = self, gantrix.AirportSet(["CDG", "LHR"])
gc.disable()
for _ in range(50):
    Holder()
threading.Event().wait(0.05)
print("exiting")
"""


class Exit(unittest.TestCase):
    def test_exit_never_waits_nor_crashes(self):
        for attempt in range(5):
            with self.subTest(attempt=attempt):
                try:
                    p = subprocess.run([sys.executable, "-c", EXIT_WHILE_BUSY], timeout=30,
                                       capture_output=True)
                except subprocess.TimeoutExpired:
                    self.fail("the interpreter hung at exit")
                self.assertEqual((p.returncode, p.stdout), (0, b"exiting\n"), p.stderr)


if __name__ == "__main__":
    unittest.main()
