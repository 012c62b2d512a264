"""The gantrix command, run as a user would: GANTRIX_CLI names it. With GANTRIX_LIBRARY set
(not in sanitizer builds) its answers are compared with the C functions' own, through ctypes."""

import csv
import ctypes
import functools
import json
import os
import random
import subprocess
import sys
import tempfile
import threading
import time
import unittest
from pathlib import Path

CLI = os.environ["GANTRIX_CLI"]
LIBRARY = os.environ.get("GANTRIX_LIBRARY")
with_library = unittest.skipUnless(LIBRARY, "no library to compare with")
unsanitized = unittest.skipIf(os.environ.get("GANTRIX_SANITIZE"), "sanitizers hold memory back")
LIMIT = 1 << 20


def run(*args, stdin=None):
    p = subprocess.run([CLI, *args], input=stdin, capture_output=True)
    return p.returncode, p.stdout, p.stderr.decode()


def batch(text, *options, suffix=".csv"):
    """Runs a batch from a file on one, two and three threads: all must agree byte for byte.
    Returns (status, output, stderr)."""
    with tempfile.NamedTemporaryFile("wb", suffix=suffix) as f:
        f.write(text)
        f.flush()
        got = run("batch", "--jobs", "1", *options, f.name)
        for jobs in ["2", "3"]:
            assert run("batch", "--jobs", jobs, *options, f.name) == got, (jobs, text[:300])
    return got


def json_lines(out):
    return [json.loads(line) for line in out.splitlines()]


MEASURE = ("import resource, subprocess, sys; subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL); "
           "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")


SUMMARY = "gantrix: %d rows: %d answered, %d without an answer, %d malformed\n"
# Numbers refused alike in arguments and in rows, and why.
BAD_NUMBERS = [("1e999", "out of range"), ("-inf", "out of range"), ("nan", "is not a number"),
               ("+-1", "is not a number"), ("48.85 \u00b0", "is not a number"), ("0x10", "is not a number")]


class CFunctions:
    """The C functions' own answers, through ctypes: JSON with numbers as written."""

    SIGNATURES = {"gx_find": "dd", "gx_country_at": "dd", "gx_airport": "s", "gx_set_new": "sq",
                  "gx_set_free": "q", "gx_set_nearest": "qddsqdqq", "gx_set_resolve": "qdddq"}
    TYPES = {"d": ctypes.c_double, "q": ctypes.c_int64, "s": ctypes.c_char_p}

    def __init__(self):
        self.lib = ctypes.CDLL(LIBRARY)
        for name, signature in self.SIGNATURES.items():
            getattr(self.lib, name).restype = ctypes.c_void_p
            getattr(self.lib, name).argtypes = [self.TYPES[t] for t in signature]
        self.lib.gx_free.argtypes = [ctypes.c_void_p]

    def __call__(self, name, *args):
        answer = getattr(self.lib, name)(*args)
        text = ctypes.string_at(answer)
        self.lib.gx_free(answer)
        return json.loads(text, parse_float=str)


class Commands(unittest.TestCase):
    @with_library
    def test_each_prints_the_c_answer_on_one_line(self):
        c = CFunctions()
        hubs, jfk = c("gx_set_new", b"CDG\x1fLHR\x1fJFK\x1fZZZ", 1), c("gx_set_new", b"JFK", 1)
        self.addCleanup(lambda: [c("gx_set_free", h) for h in (hubs, jfk)])
        among = ["--among", "CDG,LHR,JFK,ZZZ"]
        for args, expected in [
            (["find", "--", "-22.9", "-43.2"], c("gx_find", -22.9, -43.2)),
            (["find", "--", " +4.88566e1\u00b0 ", "-1e-999"], c("gx_find", 48.8566, 0.0)),
            (["country", "-33.86", "151.21"], c("gx_country_at", -33.86, 151.21)),
            (["airport", " cdg "], c("gx_airport", b"cdg")), (["airport", "ZZZ"], None),
            (["nearest", *among, "--country", "gb", "--max-km", "+4e2", "--limit", "1", "48.85", "-2.35"],
             c("gx_set_nearest", hubs, 48.85, -2.35, b"gb", 1, 400, 1, 1)),
            (["resolve", *among, "51", "0.5"], c("gx_set_resolve", hubs, 51, 0.5, 0, 0)),
            (["resolve", "--among", "JFK", "--foreign-max-km", "100", "48.85", "2.35"],
             c("gx_set_resolve", jfk, 48.85, 2.35, 100, 1)),
        ]:
            with self.subTest(args=args):
                status, out, err = run(*args)
                self.assertEqual((status, out.count(b"\n")), (0, 1), err)
                self.assertEqual(json.loads(out, parse_float=str), expected)

    def test_exit_statuses_and_refusals(self):
        at = ["--among", "CDG", "48", "2"]
        cases = [  # (arguments, status, what stderr says); refusals in the wording every surface uses
            (["find", "91", "0"], 1, ""), (["country", "100", "0"], 0, ""),
            (["bogus", "1"], 2, 'unknown command "bogus"'), (["batch", "/nonexistent.csv"], 2, "cannot open"),
            (["nearest", "--limit", "-1", *at], 2, "limit must not be negative"),
            (["nearest", "--limit", "99999999999999999999", *at], 2, "limit out of range"),
            (["nearest", "--limit", "1.5", *at], 2, "limit is not a whole number"),
            (["nearest", "--max-km", "-1", *at], 2, "max_km must not be negative"),
            (["nearest", "--max-km", "nan", *at], 2, "max_km must be a number, not NaN"),
            (["nearest", "--max-km", "0x10", *at], 2, "max_km is not a number"),
            (["nearest", "--max-km", "1e999", *at], 2, "max_km out of range"),
            (["nearest", "--country", "f", *at], 2, 'country must be two ASCII letters, such as "fr"'),
            (["resolve", "--foreign-max-km", "nan", *at], 2, "foreign_max_km must be a number, not NaN"),
            (["resolve", "--among", "CDG,L\x1fHR", "48", "2"], 2, "codes must not contain the byte 0x1F"),
            (["batch", "--jobs", "0"], 2, "jobs out of range"),
        ]
        for spelling, problem in BAD_NUMBERS:
            cases += [(["find", "--", spelling, "2"], 2, "latitude " + problem),
                      (["find", "--", "48", spelling], 2, "longitude " + problem)]
        for args, status, said in cases:
            with self.subTest(args=args):
                got_status, _, err = run(*args)
                self.assertEqual(got_status, status, err)
                self.assertIn(said, err)
        # Rows read numbers as the arguments do.
        text = "48,2\n" + "".join("%s,2\n48,%s\n" % (s, s) for s, _ in BAD_NUMBERS)
        status, out, _ = batch(text.encode(), "-q")
        self.assertEqual((status, [line.get("error") for line in json_lines(out)]),
                         (1, [None] + [a + " " + p for _, p in BAD_NUMBERS for a in ["latitude", "longitude"]]))

    def test_version_shows_the_data_provenance(self):
        provenance = json.loads(Path(os.environ["GANTRIX_PROVENANCE"]).read_text())
        status, out, _ = run("--version")
        out = out.decode()
        version = (Path(__file__).parents[2] / "VERSION").read_text().strip()  # the one source
        self.assertTrue(status == 0 and out.startswith("gantrix %s\n" % version), out)
        table = "airports_all" if os.environ.get("GANTRIX_AIRPORTS") == "all" else "airports"
        for part in [provenance["date"], str(provenance[table]["count"]), provenance[table]["what"],
                     *("%s %s" % (n, s["version"]) for n, s in provenance["sources"].items())]:
            self.assertIn(part, out)


# CSV as people write it. The reader's byte-level rules are fuzzed (fuzz/csv_fuzz.cpp): here one
# case for each rule.
class Records(unittest.TestCase):

    def fields_of(self, text, *options, suffix=".csv"):
        status, out, err = batch(text, "-q", *options, suffix=suffix)
        return status, [(l["line"], l.get("fields"), l.get("error")) for l in json_lines(out)], err

    def test_quoting_line_ends_and_delimiters(self):
        text = (b'\xef\xbb\xbf"lat",lng,name,note\r\n48.8566,2.3522,"Paris, ""FR""","two\r\nlines"\r\n'
                b'\r\n \t\n48.8566,2.3522,5\'11" tall,"a"b\n48.8566,2.3522,"open\n48.8566,2.3522,')
        self.assertEqual(self.fields_of(text), (1, [
            (2, ['Paris, "FR"', "two\r\nlines"], None), (6, ["5'11\" tall", "ab"], None),
            (7, ["open\n48.8566,2.3522,"], "unterminated quoted field")], ""))
        tsv = b"lat\tlng\tname\n48.8566\t2.3522\ta,b\n"
        for options, suffix in [([], ".tsv"), (["--tsv"], ".csv"), (["--delimiter", "\t"], ".csv")]:
            self.assertEqual(self.fields_of(tsv, *options, suffix=suffix), (0, [(2, ["a,b"], None)], ""))

    def test_columns_by_name_number_or_usual_names(self):
        trips = b"id,Latitude,LONG,name\n7,48.8566,2.3522,trip\n8,48.8566\n"
        expected = [(2, ["7", "trip"], None), (3, ["8"], "longitude missing")]
        for options in [[], ["--lat", "latitude", "--lng", "Long"], ["--lat", "2", "--lng", "3"]]:
            self.assertEqual(self.fields_of(trips, *options), (1, expected, ""), options)
        # Numbers in the named columns: no header, the first row is answered.
        self.assertEqual(self.fields_of(b"x,48.8566,2.3522\n", "--lat", "2", "--lng", "3"),
                         (0, [(1, ["x"], None)], ""))
        for text, options, said in [  # never guessed: exit 2, the header's names listed
            (b"id,where,name\n1,48,2\n", [], 'no latitude column in the header ("id", "where", "name")'),
            (b"lat,y,lng\n", [], "more than one latitude column"),
            (b"48,2\n", ["--lat", "lat", "--lng", "lng"], 'no column "lat" in the header ("48", "2")'),
            (b"lat,lng\n", ["--lat", "0", "--lng", "1"], "column numbers start at 1"),
            (b"lat,lng\n", ["--lat", "lat"], "--lat and --lng are given together"),
            (b"lat,lng,country\n", ["--format", "csv"], 'already has a column named "country"'),
        ]:
            with self.subTest(text=text, options=options):
                status, out, err = batch(text, *options)
                self.assertEqual((status, out), (2, b""))
                self.assertIn(said, err)

    def test_csv_out_is_each_row_byte_for_byte_and_at_sea_is_no_fault(self):
        paris = json.loads(run("find", "48.8566", "2.3522")[1])
        record = json.loads(run("airport", paris["code"][3:])[1], parse_float=str)
        answer = 'fr,%s,"%s"' % (paris["code"], paris["name"])
        text = (b'\xef\xbb\xbfid,lat,lng,name\r\n1,48.8566,2.3522,"Paris, ""FR"""\r\n'
                b'2,-40,-120,"sea\nlines"\n3,91,0,x\r\n\n4,,2\n' + b"5," * LIMIT + b"\n6,48.8566,2.3522,")
        status, out, err = batch(text, "--format", "csv")
        self.assertEqual((status, err), (1, SUMMARY % (6, 2, 1, 3)))
        self.assertEqual(out.decode("utf-8"), (
            '\ufeffid,lat,lng,name,country,airport,airport_label,error\r\n'
            '1,48.8566,2.3522,"Paris, ""FR""",%s,\r\n'
            '2,-40,-120,"sea\nlines",,,,no country found for coordinates\n'
            '3,91,0,x,,,,invalid coordinates\r\n4,,2,,,,latitude is not a number\n'
            ',,,,,,,line too long\n6,48.8566,2.3522,,%s,') % (answer, answer))
        status, out, _ = batch(b"lat\tlng\n48.8566\t2.3522\n", "--format", "tsv", "--op", "country", "-q")
        self.assertEqual((status, out), (0, b"lat\tlng\tcountry\terror\n48.8566\t2.3522\tfr\t\n"))
        status, out, _ = batch(b"48.8566,2.3522\n", "--format", "csv", "-q", "--fields", "airport_lng,airport_city")
        self.assertEqual(out.decode(), "48.8566,2.3522,%s,%s,%s,\n" % (answer, record["city"], record["lng"]))
        self.assertEqual(batch(b"lat,lng\n-40,-120\n30,-40\n48,2\n")[::2], (0, SUMMARY % (3, 1, 2, 0)))
        status, out, _ = batch(b"30,-40\n", "--op", "country", "-q")
        self.assertEqual((status, json_lines(out)), (0, [{"line": 1, "result": None}]))


class Parity(unittest.TestCase):
    @with_library
    def test_csv_and_json_lines_answer_as_the_c_functions(self):
        c, rng = CFunctions(), random.Random(23)
        points = [(rng.uniform(-90, 90), rng.uniform(-200, 200)) for _ in range(90_000)]
        points += [(rng.uniform(35, 60), rng.uniform(-10, 30)) for _ in range(30_001)]  # Europe's borders
        points += [(90, 0), (-90, 180), (0, -180), (0, 180), (-0.0, 540.25), (1e-300, -1e-300)]
        spell = [repr, lambda v: ("+%r" if v >= 0 else "%r") % v, lambda v: "%r\u00b0" % v, lambda v: " %.17e " % v]
        rows = ["%d,%s,%s" % (i, rng.choice(spell)(lng), rng.choice(spell)(lat)) for i, (lat, lng) in enumerate(points)]
        text = ("n,lng,lat\n" + "\n".join(rows) + "\n").encode()
        fields = ["airport_iata", "airport_name", "airport_city", "airport_country", "airport_lat", "airport_lng"]
        # Three jobs against one: chunks come back in order.
        status, out, _ = run("batch", "--format", "csv", "--fields", ",".join(fields), "-q", "-j", "3", stdin=text)
        got = list(csv.reader(out.decode().splitlines()))[1:]
        status_json, json_out, _ = run("batch", "-q", "-j", "1", stdin=text)
        self.assertEqual((status, status_json, len(got)), (0, 0, len(points)))
        airport = functools.lru_cache(None)(lambda code: c("gx_airport", code))
        for row, line, (lat, lng) in zip(got, json_lines(json_out), points):
            found = c("gx_find", lat, lng)
            country = c("gx_country_at", lat, lng)
            self.assertEqual(line.get("result", {"error": line.get("error")}), found)
            if "code" not in found:
                self.assertEqual(row[3:], [country or ""] + [""] * 8 + [found["error"]])
                continue
            r = airport(found["code"][3:].encode())
            self.assertEqual(row[3:], [country, found["code"], found["name"], r["iata"], r["airport_name"],
                                       r["city"], r["country"], r["lat"], r["lng"], ""])


def peak_kb(args, rows):
    """The command's peak resident memory in kB, on rows written to a file as they come; from a
    fresh interpreter, so that the memory of the process starting the command stays small."""
    with tempfile.TemporaryFile() as f:
        f.writelines(rows)
        f.seek(0)
        return int(subprocess.run([sys.executable, "-c", MEASURE, CLI, *args], stdin=f,
                                  capture_output=True, check=True).stdout)


class Limits(unittest.TestCase):
    def test_the_line_limit_counts_content_only(self):
        # At the limit with a byte order mark and CR LF, neither counted; one byte over, or a
        # quoted line break over, is too long.
        paris, at_limit = b"48.8566,2.3522", b"48.8566,2.3522," + b"x" * (LIMIT - 15)
        text = b"\xef\xbb\xbf%s\r\n%s\n%sy\r\n\"%s\n\"\n%s" % (at_limit, paris, at_limit, at_limit, paris)
        status, out, _ = batch(text, "-q")
        lines = json_lines(out)
        self.assertEqual((status, [(l["line"], l.get("error")) for l in lines], len(lines[0]["fields"][0])),
                         (1, [(1, None), (2, None), (3, "line too long"), (4, "line too long"), (6, None)],
                          LIMIT - 15))

    @unsanitized
    def test_memory_is_bounded_whatever_the_rows_and_jobs(self):
        # Each answer is about 6 MiB (a 1 MiB field of control bytes, escaped).
        big = b"48.8566,2.3522," + b"\x01" * (LIMIT - 20) + b"\n"
        for jobs in ["1", "16", "64"]:
            self.assertLess(peak_kb(["batch", "-q", "--jobs", jobs], [big] * 24), 64 << 10, jobs)

        def rows(n):  # 21 MB in and 26 MB out for 200,000: holding either would show
            return (b"48.8566,2.3522,row%07d%s\n" % (i, b"x" * 90) for i in range(n))
        self.assertLess(peak_kb(["batch", "-q"], rows(200_000)) - peak_kb(["batch", "-q"], rows(1000)), 4096)

    def test_non_blocking_descriptors_are_waited_for(self):
        text = b"lat,lng\n" + b"48.8566,2.3522\n0,-150\n" * 20_000
        expected = run("batch", "--jobs", "1", "-", stdin=text)

        def feed(fd):
            for i in range(0, len(text), 50_000):
                time.sleep(0.02)  # the command finds no input yet, and its output full
                os.write(fd, text[i:i + 50_000])
            os.close(fd)

        for jobs in ["1", "2"]:
            (r_in, w_in), (r_out, w_out) = os.pipe(), os.pipe()
            os.set_blocking(r_in, False), os.set_blocking(w_out, False)
            with subprocess.Popen([CLI, "batch", "--jobs", jobs], stdin=r_in, stdout=w_out,
                                  stderr=subprocess.PIPE) as p, os.fdopen(r_out, "rb") as out:
                os.close(r_in), os.close(w_out)
                threading.Thread(target=feed, args=(w_in,)).start()
                time.sleep(0.2)
                got = out.read()
                self.assertEqual((p.wait(), got, p.stderr.read().decode()), expected, jobs)

    def test_a_failed_write_stops_the_batch(self):
        # At the first failed write, with status 1 and one message, while more input is still on
        # its way: the reader, waiting for it, is woken.
        for jobs in ["1", "2"]:
            with open("/dev/full", "wb") as full, subprocess.Popen(
                    [CLI, "batch", "--jobs", jobs], stdin=subprocess.PIPE, stdout=full, stderr=subprocess.PIPE) as p:
                p.stdin.write(b"48.8566,2.3522\n" * 3000)  # less than a pipe holds: never waits
                p.stdin.flush()
                self.assertEqual((p.wait(timeout=30), p.stderr.read().decode()),
                                 (1, "gantrix: cannot write the output: No space left on device\n"), jobs)


if __name__ == "__main__":
    unittest.main()
