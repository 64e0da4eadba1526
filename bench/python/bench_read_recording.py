"""vibrolan.read_recording on the simulator's `large` recording (2.9 GB at
--scale 1) against reading the same file into memory (numpy.fromfile), in
the same run. read_recording maps the file and hands its records to NumPy in
place, so its time does not grow with the file and the process's resident
memory does not grow by the file's size.

    PYTHONPATH=<build>/python /usr/bin/python3 bench/python/bench_read_recording.py \\
        [--scale F] [--dir DIR] [--keep]

The recording is written into --dir (default: a temporary folder) and deleted
afterwards unless --keep is given.
"""
import argparse
import os
import shutil
import tempfile
import time

import numpy as np
import vibrolan


def rss_mb():
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


def best_of(n, fn):
    best = float("inf")
    for _ in range(n):
        t0 = time.perf_counter()
        fn()
        best = min(best, time.perf_counter() - t0)
    return best


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--scale", type=float, default=1.0, help="fraction of the large preset's 2000 s")
    ap.add_argument("--dir", default=None)
    ap.add_argument("--keep", action="store_true")
    args = ap.parse_args()
    own = args.dir is None
    folder = tempfile.mkdtemp(prefix="vibrolan-bench-read-") if own else args.dir
    os.makedirs(folder, exist_ok=True)
    try:
        t0 = time.perf_counter()
        written = vibrolan.simulate("large", folder, name="large", scale=args.scale, truth=False)
        path = written["recording"]
        size = os.path.getsize(path)
        print(f"recording: {size / 1e9:.2f} GB, {written['records']} records, "
              f"generated in {time.perf_counter() - t0:.1f} s")

        before = rss_mb()
        rec = vibrolan.read_recording(path)
        grown = rss_mb() - before
        assert len(rec.records) == written["records"]
        first, last = int(rec.records["ticks"][0]), int(rec.records["ticks"][-1])
        t_map = best_of(5, lambda: vibrolan.read_recording(path).records)
        del rec

        t_copy = best_of(1, lambda: np.fromfile(path, dtype=np.uint8))
        print(f"read_recording: {t_map * 1e3:.2f} ms (resident memory +{grown:.1f} MB; "
              f"first/last ticks {first}/{last})")
        print(f"numpy.fromfile (a copy): {t_copy * 1e3:.0f} ms")
        print(f"read_recording_vs_copy: {t_copy / t_map:.0f}x faster")
    finally:
        if not args.keep:
            if own:
                shutil.rmtree(folder, ignore_errors=True)
            else:
                for name in ("large.bld", "large.lfm"):
                    try:
                        os.remove(os.path.join(folder, name))
                    except FileNotFoundError:
                        pass


if __name__ == "__main__":
    main()
