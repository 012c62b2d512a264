"""Throughput and memory of the batch calls, and of the Dask columns on a local cluster.

    GANTRIX_LIBRARY=build/release/libgantrix.so PYTHONPATH=bindings/python \
        python3 bindings/python/bench.py [--points N] [--runs R] [--dask]

Prints the median of R runs for find_many and country_at_many on 1 and 2 threads, the bytes a
point costs in find_many over 1,000,000 points (retained, and at the peak above the input, by
tracemalloc), the same batches split over 2 processes (the peer for 2 threads: no GIL at
all), and with --dask the rows/s of add_country and add_airport on a LocalCluster of 2 worker
processes. Points are uniform over latitudes -60..70, so about a quarter are at sea far
from any airport and get find's error document (raise_errors=False).
"""

import argparse
import os
import random
import statistics
import time
import tracemalloc

import gantrix


def points(count, seed=1):
    rng = random.Random(seed)
    return [(rng.uniform(-60, 70), rng.uniform(-180, 180)) for _ in range(count)]


def rate(call, count, runs):
    """Median points/s over runs, and the median CPU time a point took (all threads): on a
    machine shared with other work the first depends on the others' load, the second less."""
    walls, cpus = [], []
    for _ in range(runs):
        cpu, start = time.process_time(), time.perf_counter()
        call()
        walls.append(time.perf_counter() - start)
        cpus.append(time.process_time() - cpu)
    return count / statistics.median(walls), statistics.median(cpus) / count * 1e6


def throughput(count, runs):
    sample = points(count)
    gantrix.find(0, 0)  # loads the library and builds its state before any timing
    print("cores available: %d; load average %.1f" % (gantrix._thread_count(None),
                                                       os.getloadavg()[0]))
    for threads in (1, 2):
        for name, call in (("find_many", lambda: gantrix.find_many(
                                sample, raise_errors=False, threads=threads)),
                           ("country_at_many", lambda: gantrix.country_at_many(
                                sample, threads=threads))):
            per_s, cpu_us = rate(call, count, runs)
            print("%-16s threads=%d  %9.0f points/s  %5.2f us CPU/point"
                  % (name, threads, per_s, cpu_us))


def _half(args):
    name, sample = args
    gantrix.find(0, 0)
    start = time.perf_counter()
    getattr(gantrix, name)(sample, **({"raise_errors": False} if name == "find_many" else {}))
    return start, time.perf_counter()


def processes(count, runs):
    """The same batches split over 2 processes, which share no GIL: what the 2 cores give at
    this moment, the peer for threads=2 measured in the same run."""
    import multiprocessing
    sample = points(count)
    halves = [sample[:count // 2], sample[count // 2:]]
    with multiprocessing.get_context("fork").Pool(2) as pool:
        for name in ("find_many", "country_at_many"):
            rates = []
            for _ in range(runs):
                spans = pool.map(_half, [(name, half) for half in halves])
                rates.append(count / (max(e for _, e in spans) - min(s for s, _ in spans)))
            print("%-16s 2 processes %9.0f points/s" % (name, statistics.median(rates)))


def memory(count=1_000_000):
    sample = points(count, seed=2)
    gantrix.find(0, 0)
    tracemalloc.start()
    before = tracemalloc.get_traced_memory()[0]
    answers = gantrix.find_many(sample, raise_errors=False)
    now, peak = tracemalloc.get_traced_memory()
    tracemalloc.stop()
    print("find_many over %d points: %.1f bytes/point retained, %.1f at the peak"
          % (count, (now - before) / count, (peak - before) / count))
    del answers


def dask_rows(count, runs):
    import dask.dataframe as dd
    import pandas
    from dask.distributed import Client, LocalCluster
    import gantrix.dask as gdask

    sample = points(count, seed=3)
    frame = pandas.DataFrame(sample, columns=["lat", "lng"])
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as cluster, Client(cluster) as client:
        ddf = dd.from_pandas(frame, npartitions=8).persist()
        client.run(lambda: gantrix.find(0, 0))  # each worker loads the library first
        for name, add in (("add_country", gdask.add_country), ("add_airport", gdask.add_airport)):
            per_s = rate(lambda: add(ddf).compute(), count, runs)[0]
            print("dask %-12s 2 workers  %9.0f rows/s" % (name, per_s))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--points", type=int, default=300_000)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--dask", action="store_true")
    args = parser.parse_args()
    throughput(args.points, args.runs)
    processes(args.points, args.runs)
    memory()
    if args.dask:
        dask_rows(args.points * 4, args.runs)


if __name__ == "__main__":
    main()
