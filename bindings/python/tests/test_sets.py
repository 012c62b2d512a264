"""Airport sets: each argument reaching the query, freed exactly once, and copies and pickles
that are sets of their own, rebuilt from the codes in the receiving process."""

import copy
import multiprocessing
import pickle
import unittest

import gantrix

PARIS = (48.8566, 2.3522)


def answers_in_a_new_process(blob):
    s = pickle.loads(blob)
    return len(s), s.missing, s.nearest(*PARIS, limit=1)[0]["iata"]


class Sets(unittest.TestCase):
    def test_queries(self):
        with gantrix.AirportSet(["CDG", "lhr", "JFK", "ZZZ"]) as s:
            near = lambda **options: [a["iata"] for a in s.nearest(*PARIS, **options)]  # noqa: E731
            self.assertEqual((len(s), "LHR" in s, s.missing, near(), near(limit=1), near(country="gb"),
                              near(max_km=500)),
                             (3, True, ["ZZZ"], ["CDG", "LHR", "JFK"], ["CDG"], ["LHR"], ["CDG", "LHR"]))
        with gantrix.AirportSet(["JFK"]) as s:
            self.assertEqual((s.resolve(*PARIS)["iata"], s.resolve(*PARIS, foreign_max_km=100)), ("JFK", None))

    def test_closed_exactly_once(self):
        s, other = gantrix.AirportSet(["CDG"]), gantrix.AirportSet(["LHR"])
        handle = s._handle
        s.close(), s.close()
        with self.assertRaisesRegex(ValueError, "closed"):
            s.nearest(*PARIS)
        other._handle = handle  # the freed handle names no set any more
        with self.assertRaisesRegex(gantrix.GantrixError, "^no such AirportSet: %d$" % handle):
            len(other)

    def test_copies_are_sets_of_their_own(self):
        original = gantrix.AirportSet(["JFK", "XXX", "jfk"])
        self.addCleanup(original.close)
        for make in (copy.copy, copy.deepcopy, lambda s: pickle.loads(pickle.dumps(s))):
            twin = make(original)
            self.assertEqual((len(twin), twin.missing), (1, ["XXX"]))
            twin.close()
            self.assertEqual(len(original), 1)  # closing the copy left the original alone
        # A fresh interpreter has made no sets: a bare handle would name another set or none.
        with gantrix.AirportSet(["SYD"]), multiprocessing.get_context("spawn").Pool(1) as pool:
            self.assertEqual(pool.apply(answers_in_a_new_process, (pickle.dumps(original),)),
                             (1, ["XXX"], "JFK"))
