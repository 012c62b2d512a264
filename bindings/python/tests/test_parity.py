"""Every answer of the extension, batch or single call, equals the C functions' answer on
100,000 seeded points (land, sea, NaN, infinities, |lat| > 90, huge longitudes)."""

import unittest

import gantrix
from reference import c_functions, seeded_points

try:
    import numpy
except ImportError:
    numpy = None

POINTS = seeded_points(100_000, seed=29)


class Parity(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.c = staticmethod(c_functions())
        cls.finds = [cls.c("gx_find", *p) for p in POINTS]
        cls.countries = [cls.c("gx_country_at", *p) for p in POINTS]

    def test_batches_and_single_calls(self):
        for threads in (1, 2, 3):
            self.assertEqual(gantrix.find_many(POINTS, raise_errors=False, threads=threads), self.finds)
            self.assertEqual(gantrix.country_at_many(POINTS, threads=threads), self.countries)
        for point, found, country in list(zip(POINTS, self.finds, self.countries))[::25]:
            self.assertEqual(gantrix.country_at(*point), country)
            try:
                self.assertEqual(gantrix.find(*point), found)
            except gantrix.GantrixError as e:
                self.assertEqual({"error": str(e)}, found)

    @unittest.skipUnless(numpy, "numpy is not installed")
    def test_columns(self):
        table = numpy.array(POINTS)
        found = gantrix.find_many(table, columns=True, details=gantrix.AIRPORT_DETAILS,
                                  threads=2)
        self.assertEqual(list(found["airport"]), [f.get("code") for f in self.finds])
        self.assertEqual(list(found["airport_label"]), [f.get("name") for f in self.finds])
        self.assertEqual(list(found["reason"]), [f.get("error") for f in self.finds])
        countries = gantrix.country_at_many(lats=table[:, 0], lngs=table[:, 1], columns=True)
        self.assertEqual(list(countries["country"]), self.countries)
        # Each airport answered, detail by detail, against its record from gx_airport.
        fields = dict(iata="iata", name="airport_name", label="name", city="city",
                      country="country", lat="lat", lng="lng")
        for i in {code: i for i, code in enumerate(found["airport"]) if code}.values():
            record = self.c("gx_airport", found["airport_iata"][i].encode())
            self.assertEqual(record["code"], found["airport"][i])
            for detail, member in fields.items():
                self.assertEqual(found["airport_" + detail][i], record[member])

    def test_airport_by_either_code(self):
        codes = {f["code"] for f in self.finds if "code" in f}
        for code in sorted(codes):
            iata = code.split(".", 1)[1].upper()
            record = self.c("gx_airport", iata.encode())
            self.assertEqual(gantrix.airport(iata), record)
            self.assertEqual(gantrix.airport(code.upper()), record)
        for wrong in ("gb.ory", "fr.ory.x", ".ory", "fr.", "fr.zzz"):
            self.assertIsNone(gantrix.airport(wrong), wrong)

