"""Batches on any number of threads: the same answers, the first failing point named, shared
read-only answers, no leak, and an interpreter that exits while threads are mid-batch."""

import gc
import subprocess
import sys
import tracemalloc
import unittest

import gantrix
from reference import seeded_points

PARIS, BAD = (48.8566, 2.3522), (91.0, 0.0)
POINTS = seeded_points(20_000, seed=7)


class Batches(unittest.TestCase):
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
        self.assertEqual((answers[0] is answers[1], answers[2] is answers[3]), (True, True))
        for change in (lambda a: a.__setitem__("code", "x"), lambda a: a.pop("code"), lambda a: a.update(code="x")):
            self.assertRaises(TypeError, change, answers[0])
        self.assertEqual(answers, [gantrix.find(*PARIS)] * 2 + [{"error": "invalid coordinates"}] * 2)

    def test_no_leak(self):
        sample = POINTS[:3000]
        for call in (lambda: gantrix.find_many(sample, raise_errors=False, threads=2),
                     lambda: gantrix.country_at_many(sample, columns=True),
                     lambda: gantrix.find_many(sample, columns=True, details=["name", "lat"]),
                     lambda: [gantrix.find_many([p], raise_errors=False) for p in sample[:300]],
                     lambda: gantrix.airport("fr.ory")):
            call(), tracemalloc.start()
            [call() for _ in range(20)], gc.collect()
            kept = tracemalloc.get_traced_memory()[0]
            tracemalloc.stop()
            self.assertLess(kept, 20_000, "bytes kept by %s" % call)


# Daemon threads in batches while sets held in reference cycles are still alive at exit: the
# finalizers run with the threads frozen mid-call, and the threads come back to no interpreter.
EXIT_WHILE_BUSY = """
import gc, threading, gantrix
points = [(48.85, 2.35)] * 20000
def batches(threads):
    while True:
        gantrix.find_many(points, threads=threads), gantrix.country_at(1, 2)
for threads in (1, 2, 2):
    threading.Thread(target=batches, args=(threads,), daemon=True).start()
class Holder:
    def __init__(self):
        self.me, self.s = self, gantrix.AirportSet(["CDG", "LHR"])
gc.disable()
holders = [Holder() for _ in range(50)]
threading.Event().wait(0.05)
print("exiting")
"""


class Exit(unittest.TestCase):
    def test_exit_never_waits_nor_crashes(self):
        for attempt in range(5):
            with self.subTest(attempt=attempt):
                p = subprocess.run([sys.executable, "-c", EXIT_WHILE_BUSY], timeout=30, capture_output=True)
                self.assertEqual((p.returncode, p.stdout), (0, b"exiting\n"), p.stderr)

