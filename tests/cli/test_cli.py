"""The gantrix command, run as a user would: GANTRIX_CLI names it. With GANTRIX_LIBRARY set
(not in sanitizer builds) its answers are compared with the library's through the binding."""

import json
import os
import subprocess
import tempfile
import unittest

CLI = os.environ["GANTRIX_CLI"]
try:
    import gantrix
except ImportError:
    gantrix = None
with_library = unittest.skipUnless(gantrix and os.environ.get("GANTRIX_LIBRARY"), "no binding")


def run(*args, stdin=None):
    p = subprocess.run([CLI, *args], input=stdin, capture_output=True)
    return p.returncode, p.stdout.decode(), p.stderr.decode()


def batch(text, *options):
    """Runs a batch from a file and from standard input, on one thread and on several: all
    must agree byte for byte."""
    with tempfile.NamedTemporaryFile("wb", suffix=".csv") as f:
        f.write(text)
        f.flush()
        status, out, err = run("batch", "--jobs", "1", *options, f.name)
        for jobs in ["2", "3"]:
            assert run("batch", "--jobs", jobs, *options, f.name) == (status, out, err), (jobs, text)
    assert run("batch", *options, "-", stdin=text) == (status, out, err), text
    return status, [json.loads(line) for line in out.splitlines()], err


def header_note(line):
    return "gantrix: line %d taken as a header (no number in its first two fields), not answered\n" % line


class Subcommands(unittest.TestCase):
    @with_library
    def test_each_prints_the_library_answer_on_one_line(self):
        codes = ["CDG", "LHR", "JFK", "ZZZ"]
        among = ["--among", ",".join(codes)]
        s = gantrix.AirportSet(codes)
        self.addCleanup(s.close)
        cases = [
            (["find", "48.8566", "2.3522"], gantrix.find(48.8566, 2.3522)),
            (["find", "--", "-22.9", "-43.2"], gantrix.find(-22.9, -43.2)),
            (["country", "-33.86", "151.21"], gantrix.country_at(-33.86, 151.21)),
            (["airport", " cdg "], gantrix.airport("cdg")),
            (["airport", "ZZZ"], None),
            (["nearest", *among, "48.85", "2.35"], s.nearest(48.85, 2.35)),
            (["nearest", *among, "--country", "gb", "--max-km", "400", "--limit", "1", "48.85",
              "-2.35"], s.nearest(48.85, -2.35, 1, "gb", 400)),
            (["resolve", *among, "51", "0.5"], s.resolve(51, 0.5)),
            (["resolve", "--among", "JFK", "--foreign-max-km", "100", "48.85", "2.35"], None),
        ]
        for args, expected in cases:
            with self.subTest(args=args):
                status, out, err = run(*args)
                self.assertEqual((status, out.count("\n")), (0, 1), err)
                self.assertEqual(json.loads(out), expected)

    def test_exit_statuses(self):
        cases = [
            (["find", "91", "0"], 1, '{"error":"invalid coordinates"}\n'),
            (["country", "100", "0"], 0, "null\n"),
            (["--help"], 0, None), (["batch", "--help"], 0, None), (["find", "--help"], 0, None),
            ([], 2, ""), (["locate", "1", "2"], 2, ""), (["find", "1"], 2, ""),
            (["find", "1", "2", "3"], 2, ""), (["find", "north", "2"], 2, ""),
            (["nearest", "1", "2"], 2, ""), (["batch", "--op", "airport"], 2, ""),
            (["batch", "/nonexistent.csv"], 2, ""), (["batch", "--jobs", "0"], 2, ""),
        ]
        for args, status, out in cases:
            with self.subTest(args=args):
                got_status, got_out, err = run(*args)
                self.assertEqual(got_status, status, err)
                if out is not None:
                    self.assertEqual(got_out, out)
                self.assertEqual(bool(err), status == 2)

    def test_version_shows_the_data_provenance(self):
        with open(os.environ["GANTRIX_PROVENANCE"]) as f:
            provenance = json.load(f)
        status, out, _ = run("--version")
        self.assertEqual(status, 0)
        self.assertTrue(out.startswith("gantrix 0.1.0\n"), out)
        sources = ["%s %s" % (name, s["version"]) for name, s in provenance["sources"].items()]
        for part in [provenance["date"], str(provenance["airports"]["count"]), *sources]:
            self.assertIn(part, out)


class Batch(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.paris = json.loads(run("find", "48.8566", "2.3522")[1])
        cls.sydney = json.loads(run("find", "-33.86", "151.21")[1])

    def test_rows_in_order_with_errors_named_by_line(self):
        text = (b'lat,lng,name\r\n48.8566,2.3522,"Paris, ""FR"""\r\n\r\n -33.86 , 151.21\r\n'
                b"north,2\r\n91,0,x\r\n7\r\n\"48,2\r\n48.8566,2.3522,a,b\r\n-33.86,151.21,\xff\x01")
        status, lines, err = batch(text)
        self.assertEqual((status, err), (1, header_note(1)))
        self.assertEqual(lines, [
            {"line": 2, "id": 'Paris, "FR"', "result": self.paris},
            {"line": 4, "result": self.sydney},
            {"line": 5, "error": "latitude is not a number"},
            {"line": 6, "id": "x", "error": "invalid coordinates"},
            {"line": 7, "error": "expected latitude,longitude"},
            {"line": 8, "error": "unterminated quoted field"},
            {"line": 9, "id": "a,b", "result": self.paris},
            {"line": 10, "id": "\ufffd\x01", "result": self.sydney},
        ])

    def test_inputs(self):
        cases = [  # (input, options, lines, header line), each answered with status 0
            (b"", [], [], None),
            (b"latitude,longitude\n", [], [], 1),
            (b"48.8566,2.3522\n-33.86,151.21", [],
             [{"line": 1, "result": self.paris}, {"line": 2, "result": self.sydney}], None),
            (b"\xef\xbb\xbflat,lng\r\n-33.86,151.21\r\n100,0\r\n", ["--op", "country"],
             [{"line": 2, "result": "au"}, {"line": 3, "result": None}], 1),
            (b"\n  \nplace\n-33.86,151.21\n", [], [{"line": 4, "result": self.sydney}], 3),
            # The first row is data whenever one of its first two fields reads as a number,
            # in the syntax the arguments take too.
            (b"+48.8566,+2.3522,Paris\n-33.86,151.21,Sydney\n", [],
             [{"line": 1, "id": "Paris", "result": self.paris},
              {"line": 2, "id": "Sydney", "result": self.sydney}], None),
            ("48.8566\u00b0,2.3522\u00b0\n".encode(), [], [{"line": 1, "result": self.paris}], None),
        ]
        for text, options, lines, header in cases:
            with self.subTest(text=text):
                err = header_note(header) if header else ""
                self.assertEqual(batch(text, *options), (0, lines, err))

    def test_input_that_is_not_a_file(self):
        with tempfile.TemporaryDirectory() as directory:
            self.assertEqual(run("batch", directory), (2, "", "gantrix: %s is a directory\n" % directory))
            d = os.open(directory, os.O_RDONLY)
            self.addCleanup(os.close, d)
            p = subprocess.run([CLI, "batch"], stdin=d, capture_output=True)
            self.assertEqual((p.returncode, p.stderr), (2, b"gantrix: standard input is a directory\n"))

    def test_ids_are_made_valid_utf8(self):
        # Each ill-formed sequence becomes one U+FFFD, as Python's decoder does.
        raw = [b"caf\xc3\xa9 \xf0\x9f\x98\x80", b"\xff\x01", b"\xe2\x82x", b"\xed\xa0\x80",
               b"\xc0\xaf", b"\xf0\x9f\x98", b"\xf4\x90\x80\x80", b"a\x80\x80b"]
        text = b"".join(b"48.8566,2.3522,%s\n" % r for r in raw)
        with tempfile.NamedTemporaryFile("wb", suffix=".csv") as f:
            f.write(text)
            f.flush()
            out = subprocess.run([CLI, "batch", f.name], capture_output=True).stdout
        ids = [json.loads(line)["id"] for line in out.decode("utf-8").splitlines()]  # strict
        self.assertEqual(ids, [r.decode("utf-8", "replace") for r in raw])

    @unittest.skipIf(os.environ.get("GANTRIX_SANITIZE"), "sanitizers hold freed memory back")
    def test_memory_stays_flat(self):
        def peak_kb(rows):
            with tempfile.NamedTemporaryFile("w", suffix=".csv") as f:
                f.writelines("48.8566,2.3522,%s\n" % ("row%d" % i).ljust(100, "x") for i in range(rows))
                f.flush()
                p = subprocess.Popen([CLI, "batch", f.name], stdout=subprocess.DEVNULL)
                _, p.returncode, usage = os.wait4(p.pid, 0)
            return usage.ru_maxrss

        # 200,000 rows are 21 MB in and 26 MB out: holding either would show.
        self.assertLess(peak_kb(200_000) - peak_kb(1_000), 4096)


if __name__ == "__main__":
    unittest.main()
