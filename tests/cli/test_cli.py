"""The gantrix command, run as a user would: GANTRIX_CLI names it. With GANTRIX_LIBRARY set
(not in sanitizer builds) its answers are compared with the C functions' own."""

import csv
import ctypes
import json
import os
import random
import subprocess
import sys
import tempfile
import threading
import time
import unittest

CLI = os.environ["GANTRIX_CLI"]
LIBRARY = os.environ.get("GANTRIX_LIBRARY")
SANITIZED = bool(os.environ.get("GANTRIX_SANITIZE"))
try:
    import gantrix
except ImportError:
    gantrix = None
with_library = unittest.skipUnless(gantrix and LIBRARY, "no library to compare with")
unsanitized = unittest.skipIf(SANITIZED, "sanitizers hold freed memory back")
LIMIT = 1 << 20


def run(*args, stdin=None):
    p = subprocess.run([CLI, *args], input=stdin, capture_output=True)
    return p.returncode, p.stdout, p.stderr.decode()


def batch(text, *options, suffix=".csv"):
    """Runs a batch from a file on one, two and three threads and from standard input: all
    must agree byte for byte. Returns (status, output, stderr)."""
    with tempfile.NamedTemporaryFile("wb", suffix=suffix) as f:
        f.write(text)
        f.flush()
        got = run("batch", "--jobs", "1", *options, f.name)
        for jobs in ["2", "3"]:
            assert run("batch", "--jobs", jobs, *options, f.name) == got, (jobs, text[:300])
    if suffix == ".csv":
        assert run("batch", *options, "-", stdin=text) == got, text[:300]
    return got


def json_lines(out):
    return [json.loads(line) for line in out.splitlines()]


# Runs a command with standard output discarded and prints its peak resident memory, from a
# fresh interpreter: the peak includes the memory of the process that starts the command.
MEASURE = """import os, sys
pid = os.fork()
if pid == 0:
    os.dup2(os.open(os.devnull, os.O_WRONLY), 1)
    os.execv(sys.argv[1], sys.argv[1:])
print(os.wait4(pid, 0)[2].ru_maxrss)"""


def peak_kb(args, rows):
    """The command's peak resident memory in kB, on rows written to a file as they come."""
    with tempfile.TemporaryFile() as f:
        f.writelines(rows)
        f.seek(0)
        return int(subprocess.run([sys.executable, "-c", MEASURE, CLI, *args], stdin=f,
                                  capture_output=True, check=True).stdout)


def summary(rows, answered, unanswered, malformed):
    return "gantrix: %d rows: %d answered, %d without an answer, %d malformed\n" % (
        rows, answered, unanswered, malformed)


class Commands(unittest.TestCase):
    @with_library
    def test_each_prints_the_library_answer_on_one_line(self):
        codes = ["CDG", "LHR", "JFK", "ZZZ"]
        among = ["--among", ",".join(codes)]
        s = gantrix.AirportSet(codes)
        self.addCleanup(s.close)
        cases = [
            (["find", "--", "-22.9", "-43.2"], gantrix.find(-22.9, -43.2)),
            (["country", "-33.86", "151.21"], gantrix.country_at(-33.86, 151.21)),
            (["airport", " cdg "], gantrix.airport("cdg")), (["airport", "ZZZ"], None),
            (["nearest", *among, "--country", "gb", "--max-km", "+4e2", "--limit", "1", "48.85",
              "-2.35"], s.nearest(48.85, -2.35, 1, "gb", 400)),
            (["resolve", *among, "51", "0.5"], s.resolve(51, 0.5)),
            (["resolve", "--among", "JFK", "--foreign-max-km", "100", "48.85", "2.35"], None),
        ]
        for args, expected in cases:
            with self.subTest(args=args):
                status, out, err = run(*args)
                self.assertEqual((status, out.count(b"\n")), (0, 1), err)
                self.assertEqual(json.loads(out), expected)

    def test_exit_statuses_and_refusals(self):
        cases = [  # (arguments, status, what stderr says)
            (["find", "91", "0"], 1, ""), (["country", "100", "0"], 0, ""), (["--help"], 0, ""),
            ([], 2, "A subcommand is required"), (["find", "1"], 2, "LNG is required"),
            (["bogus", "1"], 2, 'unknown command "bogus"'), (["find", "north", "2"], 2, "latitude"),
            (["batch", "/nonexistent.csv"], 2, "cannot open"), (["batch", "--op", "airport"], 2, "op"),
        ]
        at = ["--among", "CDG", "48", "2"]
        for options, refusal in [  # the wording every surface uses, and numbers read as coordinates
            (["--limit", "-1"], "limit must not be negative"),
            (["--limit", "99999999999999999999"], "limit out of range"),
            (["--limit", "1.5"], "limit is not a whole number"),
            (["--max-km", "-1"], "max_km must not be negative"),
            (["--max-km", "nan"], "max_km must be a number, not NaN"),
            (["--max-km", "0x10"], "max_km is not a number"), (["--max-km", "1e999"], "max_km out of range"),
            (["--country", "f"], 'country must be two ASCII letters, such as "fr"'),
        ]:
            cases.append((["nearest", *options, *at], 2, refusal))
        cases += [(["resolve", "--foreign-max-km", "nan", *at], 2, "foreign_max_km must be a number, not NaN"),
                  (["resolve", "--among", "CDG,L\x1fHR", "48", "2"], 2, "codes must not contain the byte 0x1F"),
                  (["batch", "--jobs", "0"], 2, "jobs out of range"),
                  (["batch", "--jobs", "0x10"], 2, "jobs is not a whole number")]
        for args, status, said in cases:
            with self.subTest(args=args):
                got_status, _, err = run(*args)
                self.assertEqual(got_status, status, err)
                self.assertIn(said, err)
        self.assertIn("Exit status: 0 answered", run("--help")[1].decode())

    def test_version_shows_the_data_provenance(self):
        with open(os.environ["GANTRIX_PROVENANCE"]) as f:
            provenance = json.load(f)
        status, out, _ = run("--version")
        out = out.decode()
        self.assertTrue(status == 0 and out.startswith("gantrix 0.1.0\n"), out)
        table = "airports_all" if os.environ.get("GANTRIX_AIRPORTS") == "all" else "airports"
        for part in [provenance["date"], str(provenance[table]["count"]), provenance[table]["what"],
                     *("%s %s" % (n, s["version"]) for n, s in provenance["sources"].items())]:
            self.assertIn(part, out)


class NumberSyntax(unittest.TestCase):
    """One syntax for coordinates in arguments and in batch rows."""

    SAME = [("+48.8566", "48.8566"), (" +48.8566\u00b0 ", "48.8566"), ("-33.86\u00b0", "-33.86"),
            ("4.88566e1", "48.8566"), ("1e-999", "0"), ("-1e-999", "0")]
    BAD = [("1e999", "out of range"), ("-inf", "out of range"), ("nan", "is not a number"),
           ("+-1", "is not a number"), ("48.85 \u00b0", "is not a number"), ("0x10", "is not a number")]

    def test_spellings_and_refusals_alike_everywhere(self):
        for spelling, plain in self.SAME:
            with self.subTest(spelling=spelling):
                self.assertEqual(run("find", "--", spelling, spelling), run("find", "--", plain, plain))
        rows = "".join("%s,%s\n" % (s, s) for s, _ in self.SAME).encode()
        plain_rows = "".join("%s,%s\n" % (p, p) for _, p in self.SAME).encode()
        self.assertEqual(batch(rows), batch(plain_rows))
        for spelling, problem in self.BAD:
            for axis, args in [("latitude", [spelling, "2"]), ("longitude", ["48", spelling])]:
                with self.subTest(spelling=spelling, axis=axis):
                    status, out, err = run("find", "--", *args)
                    self.assertEqual((status, out), (2, b""))
                    self.assertIn("%s %s" % (axis, problem), err)
        text = "48,2\n" + "".join("%s,2\n48,%s\n" % (s, s) for s, _ in self.BAD)
        status, out, _ = batch(text.encode(), "-q")
        self.assertEqual(status, 1)
        self.assertEqual([line.get("error") for line in json_lines(out)[1:]],
                         [a + " " + p for _, p in self.BAD for a in ["latitude", "longitude"]])


class Records(unittest.TestCase):
    """CSV as people write it, answered in JSON lines with the row's other fields."""

    @classmethod
    def setUpClass(cls):
        cls.paris = json.loads(run("find", "48.8566", "2.3522")[1])

    def fields_of(self, text, *options, suffix=".csv"):
        status, out, err = batch(text, "-q", *options, suffix=suffix)
        return status, [(l["line"], l.get("fields"), l.get("error")) for l in json_lines(out)], err

    def test_quoting_line_ends_and_delimiters(self):
        text = (b'\xef\xbb\xbf"lat",lng,name,note\r\n48.8566,2.3522,"Paris, ""FR""","two\r\nlines"\r\n'
                b'\r\n \t\n48.8566,2.3522,5\'11" tall,"a"b\n48.8566,2.3522,\x00nul,"x""\n'
                b'y"\n48.8566,2.3522,"open\n48.8566,2.3522,')
        self.assertEqual(self.fields_of(text), (1, [
            (2, ['Paris, "FR"', "two\r\nlines"], None), (6, ["5'11\" tall", "ab"], None),
            (7, ["\x00nul", 'x"\ny'], None),
            (9, ["open\n48.8566,2.3522,"], "unterminated quoted field")], ""))
        tsv = b"lat\tlng\tname\n48.8566\t2.3522\ta,b\n"
        for options, suffix in [([], ".tsv"), (["--tsv"], ".csv"), (["--delimiter", "\t"], ".csv")]:
            self.assertEqual(self.fields_of(tsv, *options, suffix=suffix), (0, [(2, ["a,b"], None)], ""))
        self.assertEqual(self.fields_of(b"lat;lng;n\n48.8566;2.3522;a,b\n", "--delimiter", ";"),
                         (0, [(2, ["a,b"], None)], ""))

    def test_columns_by_name_number_or_usual_names(self):
        trips = b"id,Latitude,LONG,name\n7,48.8566,2.3522,trip\n8,48.8566\n"
        expected = [(2, ["7", "trip"], None), (3, ["8"], "longitude missing")]
        for options in [[], ["--lat", "latitude", "--lng", "Long"], ["--lat", "2", "--lng", "3"]]:
            with self.subTest(options=options):
                self.assertEqual(self.fields_of(trips, *options), (1, expected, ""))
        # Numbers in the named columns: no header, the first row is answered.
        self.assertEqual(self.fields_of(b"x,48.8566,2.3522\n", "--lat", "2", "--lng", "3"),
                         (0, [(1, ["x"], None)], ""))
        status, out, _ = batch(b"48.8566,2.3522\n")
        self.assertEqual((status, json_lines(out)), (0, [{"line": 1, "result": self.paris}]))
        for text, options, said in [  # never guessed: exit 2, the header's names listed
            (b"id,where,name\n1,48,2\n", [], 'no latitude column in the header ("id", "where", "name")'),
            (b"48.85;2.35\n", [], 'no latitude column in the header ("48.85;2.35")'),
            (b"lat,y,lng\n", [], "more than one latitude column"),
            (b"id,lat,lng\n", ["--lat", "latitude", "--lng", "lng"], 'no column "latitude" in the header'),
            (b"48,2\n", ["--lat", "lat", "--lng", "lng"], 'no column "lat" in the header ("48", "2")'),
            (b"lat,lng\n", ["--lat", "0", "--lng", "1"], "column numbers start at 1"),
            (b"lat,lng\n", ["--lat", "lat"], "--lat and --lng are given together"),
            (b"lat,lng,country\n", ["--format", "csv"], 'already has a column named "country"'),
            (b"lat,lng,error\n", ["--format", "csv", "--op", "country"], 'named "error"'),
        ]:
            with self.subTest(text=text, options=options):
                status, out, err = batch(text, *options)
                self.assertEqual((status, out), (2, b""))
                self.assertIn(said, err)


class CsvOut(unittest.TestCase):
    def test_rows_come_back_byte_for_byte_with_answer_columns(self):
        paris = json.loads(run("find", "48.8566", "2.3522")[1])
        answer = 'fr,%s,"%s"' % (paris["code"], paris["name"])
        text = (b'\xef\xbb\xbfid,lat,lng,name\r\n1,48.8566,2.3522,"Paris, ""FR"""\r\n'
                b'2,-40,-120,"sea\nlines"\n3,91,0,x\r\n\n4,,2\n' + b"5," * LIMIT + b"\n6,48.8566,2.3522,")
        status, out, err = batch(text, "--format", "csv")
        self.assertEqual((status, err), (1, summary(6, 2, 1, 3)))
        self.assertEqual(out.decode("utf-8"), (
            '\ufeffid,lat,lng,name,country,airport,airport_label,error\r\n'
            '1,48.8566,2.3522,"Paris, ""FR""",%s,\r\n'
            '2,-40,-120,"sea\nlines",,,,no country found for coordinates\n'
            '3,91,0,x,,,,invalid coordinates\r\n4,,2,,,,latitude is not a number\n'
            ',,,,,,,line too long\n6,48.8566,2.3522,,%s,') % (answer, answer))
        status, out, _ = batch(b"lat\tlng\n48.8566\t2.3522\n", "--format", "tsv", "--op", "country", "-q")
        self.assertEqual((status, out), (0, b"lat\tlng\tcountry\terror\n48.8566\t2.3522\tfr\t\n"))
        status, out, _ = batch(b"48.8566,2.3522\n", "--format", "csv", "-q", "--fields", "airport_lng,airport_city")
        self.assertEqual(out.decode(), "48.8566,2.3522,%s,%s,%s,\n" % (
            answer, gantrix_record(paris["code"])["city"], gantrix_record(paris["code"])["lng"]))

    def test_at_sea_is_an_answer_malformed_is_not(self):
        for text, status, said in [
            (b"lat,lng\n-40,-120\n30,-40\n48,2\n", 0, summary(3, 1, 2, 0)),
            (b"lat,lng\n30,-40\nx,1\n", 1, summary(2, 0, 1, 1)),
            (b"lat,lng\n", 0, summary(0, 0, 0, 0)),
        ]:
            for fmt in ["json", "csv"]:
                with self.subTest(text=text, format=fmt):
                    self.assertEqual(batch(text, "--format", fmt)[::2], (status, said))
                    self.assertEqual(batch(text, "--format", fmt, "-q")[::2], (status, ""))
        status, out, _ = batch(b"30,-40\n", "--op", "country", "-q")
        self.assertEqual((status, json_lines(out)), (0, [{"line": 1, "result": None}]))


def gantrix_record(code):
    return json.loads(run("airport", code.split(".")[1])[1], parse_float=str)


class CFunctions:
    """The C functions' own texts, through ctypes."""

    def __init__(self):
        self.lib = lib = ctypes.CDLL(LIBRARY)
        for f in [lib.gx_find, lib.gx_country_at, lib.gx_airport]:
            f.restype = ctypes.c_void_p
        lib.gx_find.argtypes = lib.gx_country_at.argtypes = [ctypes.c_double, ctypes.c_double]
        lib.gx_airport.argtypes = [ctypes.c_char_p]
        lib.gx_free.argtypes = [ctypes.c_void_p]

    def __call__(self, name, *args):
        answer = getattr(self.lib, name)(*args)
        try:
            return json.loads(ctypes.string_at(answer), parse_float=str)  # numbers as written
        finally:
            self.lib.gx_free(answer)


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
        status, out, _ = run("batch", "--format", "csv", "--fields", ",".join(fields), "-q", stdin=text)
        got = list(csv.reader(out.decode().splitlines()))[1:]
        status_json, json_out, _ = run("batch", "-q", stdin=text)
        self.assertEqual((status, status_json, len(got)), (0, 0, len(points)))
        records = {}
        for row, line, (lat, lng) in zip(got, json_lines(json_out), points):
            found = c("gx_find", lat, lng)
            country = c("gx_country_at", lat, lng)
            self.assertEqual(line.get("result", {"error": line.get("error")}), found)
            if "code" not in found:
                self.assertEqual(row[3:], [country or ""] + [""] * 8 + [found["error"]])
                continue
            iata = found["code"].split(".")[1].upper()
            if iata not in records:
                records[iata] = c("gx_airport", iata.encode())
            r = records[iata]
            self.assertEqual(row[3:], [country, found["code"], found["name"], r["iata"], r["airport_name"],
                                       r["city"], r["country"], r["lat"], r["lng"], ""])


class Limits(unittest.TestCase):
    def test_the_line_limit_counts_content_only(self):
        prefix = b"48.8566,2.3522,"
        paris = b"48.8566,2.3522"
        at_limit = prefix + b"x" * (LIMIT - len(prefix))
        for text in [at_limit + b"\n", at_limit + b"\r\n", b"\xef\xbb\xbf" + at_limit, paris + b"\n" + at_limit]:
            with self.subTest(start=text[:4], end=text[-2:]):
                status, out, _ = batch(text, "-q")
                self.assertEqual((status, len(json_lines(out)[-1]["fields"][0])), (0, LIMIT - len(prefix)))
        status, out, _ = batch(b"%s\n%sy\r\n\"%s\n\"\n%s" % (paris, at_limit, at_limit, paris), "-q")
        self.assertEqual((status, [(l["line"], l.get("error")) for l in json_lines(out)]),
                         (1, [(1, None), (2, "line too long"), (3, "line too long"), (5, None)]))

    @unsanitized
    def test_memory_is_bounded_whatever_the_rows_and_jobs(self):
        # Each answer is about 6 MiB (a 1 MiB field of control bytes, escaped).
        big = b"48.8566,2.3522," + b"\x01" * (LIMIT - 20) + b"\n"
        for jobs in ["1", "16", "64"]:
            with self.subTest(jobs=jobs):
                self.assertLess(peak_kb(["batch", "-q", "--jobs", jobs], [big] * 24), 64 << 10)

        def rows(n):  # 21 MB in and 26 MB out for 200,000: holding either would show
            return (b"48.8566,2.3522,row%07d%s\n" % (i, b"x" * 90) for i in range(n))
        self.assertLess(peak_kb(["batch", "-q"], rows(200_000)) - peak_kb(["batch", "-q"], rows(1000)), 4096)

    def test_non_blocking_descriptors_are_waited_for(self):
        text = b"lat,lng\n" + b"48.8566,2.3522\n0,-150\n" * 20_000
        expected = run("batch", "--jobs", "1", "-", stdin=text)
        for jobs in ["1", "2"]:
            with self.subTest(jobs=jobs):
                r_in, w_in = os.pipe()
                r_out, w_out = os.pipe()
                os.set_blocking(r_in, False)
                os.set_blocking(w_out, False)
                p = subprocess.Popen([CLI, "batch", "--jobs", jobs], stdin=r_in, stdout=w_out,
                                     stderr=subprocess.PIPE)
                os.close(r_in), os.close(w_out)

                def feed():
                    for i in range(0, len(text), 50_000):
                        time.sleep(0.02)  # the command finds no input yet, and its output full
                        os.write(w_in, text[i:i + 50_000])
                    os.close(w_in)

                writer = threading.Thread(target=feed)
                writer.start()
                time.sleep(0.2)
                with os.fdopen(r_out, "rb") as f:
                    out = f.read()
                writer.join()
                self.assertEqual((p.wait(), out, p.stderr.read().decode()), expected)
                p.stderr.close()


class WriteErrors(unittest.TestCase):
    """The batch stops at its first failed write, with status 1 and one message, while more
    input is still on its way, even with SIGPIPE ignored (restore_signals=False passes on
    Python's own SIG_IGN)."""

    ROWS = b"48.8566,2.3522\n" * 3000  # less than a pipe holds: writing it never waits

    def finish(self, p):
        try:
            status = p.wait(timeout=30)  # standard input still open
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()
            status = None
        err = p.stderr.read().decode()
        for stream in [p.stdin, p.stderr]:
            try:
                stream.close()
            except BrokenPipeError:
                pass
        return status, err

    def send(self, p):
        try:
            p.stdin.write(self.ROWS)
            p.stdin.flush()
        except BrokenPipeError:
            pass

    def test_stops_at_a_full_device_and_a_closed_pipe(self):
        pipe = subprocess.PIPE
        for jobs in ["1", "2"]:
            with self.subTest(jobs=jobs, output="/dev/full"), open("/dev/full", "wb") as full:
                p = subprocess.Popen([CLI, "batch", "--jobs", jobs], stdin=pipe, stdout=full, stderr=pipe)
                self.send(p)
                self.assertEqual(self.finish(p), (1, "gantrix: cannot write the output: No space left on device\n"))
            with self.subTest(jobs=jobs, output="closed pipe"):
                p = subprocess.Popen([CLI, "batch", "--jobs", jobs], stdin=pipe, stdout=pipe, stderr=pipe,
                                     restore_signals=False)
                self.send(p)
                self.assertTrue(p.stdout.readline().startswith(b'{"line":1,'))
                p.stdout.close()
                self.send(p)
                self.assertEqual(self.finish(p), (1, "gantrix: cannot write the output: Broken pipe\n"))


class Jobs(unittest.TestCase):
    def test_any_number_of_jobs_writes_the_same_bytes(self):
        rng = random.Random(7)
        kinds = [
            lambda: b"%.4f,%.4f" % (rng.uniform(-90, 90), rng.uniform(-180, 180)),
            lambda: b'%.2f,%.2f,"quoted, ""id""\r\nacross lines"\r' % (rng.uniform(35, 60), rng.uniform(-10, 30)),
            lambda: b"%d,x,\x00\xff" % rng.randrange(100), lambda: b"95,0", lambda: b"", lambda: b" \t\r",
            lambda: b"1,2," + b",".join(b"%d" % i for i in range(500)), lambda: b"1e999,2,\"a\"b\"",
        ]
        rows = [b"\xef\xbb\xbflat,lng,name"] + [rng.choice(kinds)() for _ in range(20_000)]
        rows.insert(12_345, b"," * (LIMIT + 1))
        rows.append(b'1,1,"unterminated\n2,2')  # and no final newline
        text = b"\n".join(rows)
        for fmt in ["json", "csv"]:
            outputs = {jobs: run("batch", "--format", fmt, "--jobs", jobs, "-", stdin=text) for jobs in "1247"}
            for jobs, got in outputs.items():
                self.assertEqual(got, outputs["1"], (fmt, jobs))
        # Every row once, in order: line numbers counted here, apart from the tool.
        status, out, _ = run("batch", "-q", "-", stdin=text)
        first_lines, line = [], 1
        for r in rows:
            if r.strip(b" \t\r") and line > 1:
                first_lines.append(line)
            line += r.count(b"\n") + 1
        self.assertEqual([l["line"] for l in json_lines(out)], first_lines)


if __name__ == "__main__":
    unittest.main()
