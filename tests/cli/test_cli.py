"""The gantrix command, run as a user would: GANTRIX_CLI names it. With GANTRIX_LIBRARY set
(not in sanitizer builds) its answers are compared with the library's through the binding."""

import json
import os
import random
import resource
import subprocess
import tempfile
import threading
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
        table = "airports_all" if os.environ.get("GANTRIX_AIRPORTS") == "all" else "airports"
        for part in [provenance["date"], str(provenance[table]["count"]), provenance[table]["what"], *sources]:
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
        _, lines, _ = batch(b"".join(b"48.8566,2.3522,%s\n" % r for r in raw))  # output decoded strictly
        self.assertEqual([line["id"] for line in lines], [r.decode("utf-8", "replace") for r in raw])

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


class NumberSyntax(unittest.TestCase):
    """One syntax for coordinates in arguments and in batch rows."""

    SAME = [  # (spelling, the number it means)
        ("+48.8566", "48.8566"), ("48.8566\u00b0", "48.8566"), (" +48.8566\u00b0 ", "48.8566"),
        ("-33.86\u00b0", "-33.86"), ("4.88566e1", "48.8566"), ("1e-999", "0"), ("-1e-999", "0"),
    ]
    BAD = [  # (spelling, what is wrong: "not a number" or "out of range")
        ("1e999", "out of range"), ("-1e999", "out of range"), ("inf", "out of range"),
        ("nan", "is not a number"), ("+-1", "is not a number"), ("++1", "is not a number"),
        ("48.85 \u00b0", "is not a number"), ("\u00b048.85", "is not a number"),
        ("\u00b0", "is not a number"), ("+", "is not a number"), ("0x10", "is not a number"),
    ]

    def test_spellings_of_one_number_give_its_answers(self):
        plain_answers = {}
        for spelling, plain in self.SAME + [(" +51.5\u00b0", "51.5")]:
            command = "find" if plain != "51.5" else "country"
            with self.subTest(spelling=spelling, command=command):
                if plain not in plain_answers:
                    plain_answers[plain] = run(command, "--", plain, plain)
                self.assertEqual(run(command, "--", spelling, spelling), plain_answers[plain])
        rows = "".join("%s,%s,x\n" % (s, s) for s, _ in self.SAME).encode()
        plain_rows = "".join("%s,%s,x\n" % (p, p) for _, p in self.SAME).encode()
        self.assertEqual(batch(rows), batch(plain_rows))

    def test_bad_numbers_are_named_alike_everywhere(self):
        for spelling, problem in self.BAD:
            for axis, args in [("latitude", [spelling, "2"]), ("longitude", ["48", spelling])]:
                with self.subTest(spelling=spelling, axis=axis):
                    status, out, err = run("find", "--", *args)
                    self.assertEqual((status, out), (2, ""))
                    self.assertIn("%s %s" % (axis, problem), err)
        # Behind a data row, so that none is taken as a header.
        text = "48,2\n" + "".join("%s,2\n48,%s\n" % (s, s) for s, _ in self.BAD)
        status, lines, _ = batch(text.encode())
        self.assertEqual(status, 1)
        expected = []
        for spelling, problem in self.BAD:
            expected += ["latitude " + problem, "longitude " + problem]
        self.assertEqual([line.get("error") for line in lines[1:]], expected)


class LineLimit(unittest.TestCase):
    LIMIT = 1 << 20

    def test_lines_over_the_limit_are_rows_that_fail(self):
        prefix = b"48.8566,2.3522,"
        at_limit = prefix + b"x" * (self.LIMIT - len(prefix))
        too_long = "line too long"
        cases = [  # (input, what each line holds: its id, its error or nothing)
            # At the limit, one byte over, the CR counting as a byte, a row after them.
            (b"1,1\n%s\n%sy\n%s\r\n1,1" % (at_limit, at_limit, at_limit),
             [None, at_limit[len(prefix):].decode(), too_long, too_long, None]),
            (b"1,1\n" + b"," * (3 * self.LIMIT), [None, too_long]),  # the last, without newline
            # Too long to tell whether it is a header: a row.
            (b"y" * (self.LIMIT + 1) + b"\n\n1,1\n", [too_long, "skip", None]),
        ]
        for text, expected in cases:
            with self.subTest(case=[e if e is None or len(e) < 20 else "id" for e in expected]):
                status, lines, err = batch(text)
                self.assertEqual((status, err), (1, ""))
                self.assertEqual([(line["line"], line.get("id", line.get("error"))) for line in lines],
                                 [(i + 1, e) for i, e in enumerate(expected) if e != "skip"])

    @unittest.skipIf(os.environ.get("GANTRIX_SANITIZE"), "sanitizers hold freed memory back")
    def test_a_huge_line_is_never_held(self):
        def limit_memory():  # so that a tool that holds the line fails fast, not the machine
            resource.setrlimit(resource.RLIMIT_AS, (1 << 30, 1 << 30))

        def feed(stream, head):
            try:
                stream.write(head)
                for _ in range(100):
                    stream.write(b"," * (1 << 20))
                stream.write(b"\n48.8566,2.3522\n")
                stream.close()
            except BrokenPipeError:
                pass

        for head, jobs in [(b"", "1"), (b"48.8566,2.3522,", "2")]:  # commas; a long id
            with self.subTest(head=head, jobs=jobs):
                p = subprocess.Popen([CLI, "batch", "--jobs", jobs], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, preexec_fn=limit_memory)
                writer = threading.Thread(target=feed, args=(p.stdin, head))
                writer.start()
                out = p.stdout.read()
                p.stdout.close()
                _, status, usage = os.wait4(p.pid, 0)
                writer.join()
                p.returncode = status
                lines = [json.loads(line) for line in out.splitlines()]
                self.assertEqual((status, [line["line"] for line in lines]), (1 << 8, [1, 2]))
                self.assertEqual(lines[0], {"line": 1, "error": "line too long"})
                self.assertLess(usage.ru_maxrss, 64 << 10)


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
        err = p.stderr.read()
        for stream in [p.stdin, p.stderr]:
            try:
                stream.close()
            except BrokenPipeError:
                pass
        return status, err.decode()

    def send(self, p):
        try:
            p.stdin.write(self.ROWS)
            p.stdin.flush()
        except BrokenPipeError:
            pass

    def test_stops_at_a_full_device_and_a_closed_pipe(self):
        for jobs in ["1", "2"]:
            with self.subTest(jobs=jobs, output="/dev/full"), open("/dev/full", "wb") as full:
                p = subprocess.Popen([CLI, "batch", "--jobs", jobs], stdin=subprocess.PIPE,
                                     stdout=full, stderr=subprocess.PIPE)
                self.send(p)
                self.assertEqual(self.finish(p),
                                 (1, "gantrix: cannot write the output: No space left on device\n"))
            with self.subTest(jobs=jobs, output="closed pipe"):
                p = subprocess.Popen([CLI, "batch", "--jobs", jobs], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE,
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
            lambda: "%.4f,%.4f" % (rng.uniform(-90, 90), rng.uniform(-180, 180)),
            lambda: "%.2f,%.2f,id %d" % (rng.uniform(35, 60), rng.uniform(-10, 30), rng.randrange(9999)),
            lambda: '+%.1f\u00b0,%.1f,"quoted, ""id"""' % (rng.uniform(0, 89), rng.uniform(-179, 179)),
            lambda: "%d,x" % rng.randrange(100), lambda: "95,0", lambda: "", lambda: " \t",
            lambda: '"unterminated,1', lambda: "1e999,2\r",
        ]
        rows = ["lat,lng,name"] + [rng.choice(kinds)() for _ in range(30_000)]
        rows.insert(12_345, "," * ((1 << 20) + 1))
        text = "\n".join(rows).encode()
        outputs = {jobs: run("batch", "--jobs", jobs, "-", stdin=text) for jobs in ["1", "2", "4"]}
        status, out, err = outputs["1"]
        self.assertEqual((status, err), (1, header_note(1)))
        for jobs, got in outputs.items():
            self.assertEqual(got, outputs["1"], jobs)
        # Every row once, in order: line numbers counted here, apart from the tool.
        numbers = [i + 1 for i, row in enumerate(rows) if i > 0 and row.strip(" \t\r")]
        self.assertEqual([json.loads(line)["line"] for line in out.splitlines()], numbers)


if __name__ == "__main__":
    unittest.main()
