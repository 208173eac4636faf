"""Speed and memory of the module against `tuda stat --jobs 1`, interleaved (a benchmark, not a test).

    PYTHONPATH=build/python /usr/bin/python3 python/bench/benchmark.py [--program build/bin/tuda] [--folder /tmp]

Writes a 512 MiB realistic run (and eight smaller ones) once with `tuda gen`, reads them once so
that they are page-cached, then times in random order: iterating over the run with the default
step, and `tuda stat --jobs 1` on it; then the peak memory of iterating, in a child process; then
tuda.dask.histogram over the eight runs with one worker and with two.
"""

import argparse
import os
import random
import resource
import statistics
import subprocess
import sys
import time

import tuda

BLOCK = 32768


def run_file(program, path, blocks):
    if not os.path.exists(path) or os.path.getsize(path) != blocks * BLOCK:
        subprocess.run([program, "gen", path, "--blocks", str(blocks), "--overwrite"], check=True)
    with open(path, "rb") as data:
        while data.read(1 << 24):
            pass
    return path


def time_iterate(path):
    start = time.perf_counter()
    for _ in tuda.iterate(path):
        pass
    return time.perf_counter() - start


def time_stat(program, path):
    start = time.perf_counter()
    subprocess.run([program, "stat", "--jobs", "1", "--json", path], check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


CHILD = """
import os, resource, sys, tuda
base = int(open("/proc/self/statm").read().split()[1]) * os.sysconf("SC_PAGE_SIZE") // 1024
largest = 0
for batch in tuda.iterate(sys.argv[1]):
    size = sum(k.channel.nbytes + k.value.nbytes + k.offsets.nbytes for k in (batch.adc, batch.tdc, batch.scaler, batch.epics))
    largest = max(largest, size)
print(base * 1024, resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024, largest)
"""


def memory(path):
    out = subprocess.run([sys.executable, "-c", CHILD, path], check=True, capture_output=True).stdout.split()
    base, peak, largest = map(int, out)
    return peak - base, largest


def time_dask(files, workers):
    import distributed
    import tuda.dask
    with distributed.LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, host="127.0.0.1",
                                  dashboard_address=None) as cluster, distributed.Client(cluster):
        tuda.dask.histogram(files[:workers], "adc").compute()  # workers warmed up
        start = time.perf_counter()
        tuda.dask.histogram(files, "adc").compute()
        return time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", default="build/bin/tuda")
    parser.add_argument("--folder", default="/tmp")
    parser.add_argument("--repetitions", type=int, default=5)
    args = parser.parse_args()
    big = run_file(args.program, os.path.join(args.folder, "tuda-py-bench-512.dat"), 16384)
    mib = os.path.getsize(big) / 2**20

    times = {"iterate": [], "stat": []}
    for _ in range(args.repetitions):
        for name in random.sample(list(times), len(times)):
            times[name].append(time_iterate(big) if name == "iterate" else time_stat(args.program, big))
    rates = {name: mib / statistics.median(values) for name, values in times.items()}
    for name, rate in rates.items():
        print(f"{name:8s} {rate:8.1f} MiB/s (median of {args.repetitions})")
    print(f"iterate / stat --jobs 1: {rates['iterate'] / rates['stat']:.2f}")

    grown, largest = memory(big)
    print(f"peak memory while iterating: {grown / 2**20:.1f} MiB over the interpreter's; "
          f"largest batch {largest / 2**20:.1f} MiB; limit 3 batches + 64 MiB = {(3 * largest + 2**26) / 2**20:.1f} MiB")

    files = [run_file(args.program, os.path.join(args.folder, f"tuda-py-bench-{i}.dat"), 2048) for i in range(8)]
    one, two = time_dask(files, 1), time_dask(files, 2)
    print(f"tuda.dask.histogram over 8 files: 1 worker {one:.2f} s, 2 workers {two:.2f} s, speed-up {one / two:.2f}")


if __name__ == "__main__":
    main()
