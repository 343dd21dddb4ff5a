#!/usr/bin/python3
"""Times our "Fine digicam noise" passes against OpenCV's
fastNlMeansDenoisingColored on the same one-megapixel noisy picture, in one
run, and prints the ratio of the median wall times (ours / OpenCV's).

    /usr/bin/python3 bench/speed_vs_opencv.py [path/to/engine_bench]

The default binary is build/release/bench/engine_bench. Both sides use all
hardware threads. CPU time is the whole process's (all threads), so on a
shared machine it shows the work done when wall time is stretched by load.
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

import cv2
import numpy as np

REPETITIONS = 3  # as engine_bench repeats each case
SIDE = 1000


def ours(bench):
    out = subprocess.run(
        [bench, "--benchmark_filter=PresetFast/0/", "--benchmark_format=json"],
        check=True, capture_output=True, text=True).stdout
    # The median of the benchmark's repetitions, in its unit (seconds).
    median = next(b for b in json.loads(out)["benchmarks"] if b.get("aggregate_name") == "median")
    return median["real_time"], median["cpu_time"]


def opencv(picture):
    bgr = np.ascontiguousarray(picture[:, :, ::-1])
    walls, cpus = [], []
    for _ in range(REPETITIONS):
        w0, c0 = time.perf_counter(), time.process_time()
        cv2.fastNlMeansDenoisingColored(bgr, None, 3, 3, 7, 21)
        walls.append(time.perf_counter() - w0)
        cpus.append(time.process_time() - c0)
    return statistics.median(walls), statistics.median(cpus)


def main():
    bench = sys.argv[1] if len(sys.argv) > 1 else "build/release/bench/engine_bench"
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "picture.rgb")
        subprocess.run([bench, f"--write-picture={path}"], check=True)
        picture = np.fromfile(path, dtype=np.uint8).reshape(SIDE, SIDE, 3)
    load = os.getloadavg()[0]
    our_wall, our_cpu = ours(bench)
    cv_wall, cv_cpu = opencv(picture)
    print(f"machine: {os.cpu_count()} hardware threads, load average {load:.1f} at the start, "
          f"OpenCV {cv2.__version__} with {cv2.getNumThreads()} threads")
    print(f"{'':38} {'wall (s)':>9} {'CPU (s)':>9}")
    print(f"{'Fine digicam noise (ours)':38} {our_wall:9.3f} {our_cpu:9.3f}")
    print(f"{'fastNlMeansDenoisingColored (OpenCV)':38} {cv_wall:9.3f} {cv_cpu:9.3f}")
    print(f"ratio ours / OpenCV: wall {our_wall / cv_wall:.2f}, CPU {our_cpu / cv_cpu:.2f}")


if __name__ == "__main__":
    main()
