"""Airport sets: queries, freed exactly once, and copies and pickles that are sets of their
own, rebuilt from the codes in the receiving process."""

import copy
import gc
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
        with gantrix.AirportSet(["CDG", "lhr", " JFK ", "ZZZ", "CDG"]) as s:
            self.assertEqual((len(s), "LHR" in s, "ORY" in s, s.missing), (3, True, False, ["ZZZ"]))
            self.assertEqual([(a["iata"], round(a["distance_km"])) for a in s.nearest(*PARIS)],
                             [("CDG", 23), ("LHR", 354), ("JFK", 5827)])
            self.assertEqual([a["iata"] for a in s.nearest(*PARIS, country="gb")], ["LHR"])
            self.assertEqual([a["iata"] for a in s.nearest(*PARIS, max_km=500)], ["CDG", "LHR"])
            self.assertEqual(s.resolve(*PARIS)["iata"], "CDG")
        with gantrix.AirportSet(["JFK"]) as s:
            self.assertIsNone(s.resolve(*PARIS, foreign_max_km=100))

    def test_closed_exactly_once(self):
        s, other = gantrix.AirportSet(["CDG"]), gantrix.AirportSet(["LHR"])
        handle = s._handle
        s.close(), s.close()
        for use in (len, lambda s: "CDG" in s, lambda s: s.missing, lambda s: s.nearest(*PARIS),
                    lambda s: s.resolve(*PARIS)):
            with self.assertRaisesRegex(ValueError, "closed"):
                use(s)
        other._handle = handle  # the freed handle names no set any more
        with self.assertRaisesRegex(gantrix.GantrixError, "^no such AirportSet: %d$" % handle):
            len(other)

    def test_copies_are_sets_of_their_own(self):
        original = gantrix.AirportSet(["JFK", "XXX", "jfk"])
        self.addCleanup(original.close)
        for make in (copy.copy, copy.deepcopy, lambda s: pickle.loads(pickle.dumps(s))):
            twin = make(original)
            self.assertNotEqual(twin._handle, original._handle)
            self.assertEqual((len(twin), twin.missing), (1, ["XXX"]))
            del twin
            gc.collect()
            self.assertEqual(len(original), 1)  # freeing the copy left the original alone
        # A fresh interpreter has made no sets: a bare handle would name another set or none.
        with gantrix.AirportSet(["SYD"]), multiprocessing.get_context("spawn").Pool(1) as pool:
            self.assertEqual(pool.apply(answers_in_a_new_process, (pickle.dumps(original),)),
                             (1, ["XXX"], "JFK"))

