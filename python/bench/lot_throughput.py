"""Throughput of zorvel-batch on this machine: one lot of simulated modules run
with one job and with two, in modules per minute. A benchmark, not a test.

  PYTHONPATH=python:build/python python3 python/bench/lot_throughput.py [--modules 40] [--width 640] [--jobs 1 2]
"""

import argparse
import csv
import os
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor

import zorvel
from zorvel import batch

PRESETS = ("good", "portrait", "distorted", "mono")


def make_lot(root, modules, width):
    def one(i):
        folder = os.path.join(root, f"M{i:03d}")
        zorvel.simulate(PRESETS[i % len(PRESETS)], folder, main_width=width, module_variant=i, noise_key=i + 1)
        return f"M{i:03d}", os.path.join(folder, "calibration.cfg")

    with ThreadPoolExecutor(2) as pool:
        made = list(pool.map(one, range(modules)))
    manifest = os.path.join(root, "manifest.csv")
    with open(manifest, "w", newline="") as f:
        out = csv.writer(f)
        out.writerow(["module_id", "config_path", "station", "timestamp"])
        for i, (module_id, config) in enumerate(made):
            out.writerow([module_id, config, "A", f"2026-03-01T08:{i % 60:02d}:00"])
    return manifest


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--modules", type=int, default=40)
    p.add_argument("--width", type=int, default=640, help="main capture width (4000: full size)")
    p.add_argument("--jobs", type=int, nargs="+", default=[1, 2])
    args = p.parse_args()
    with tempfile.TemporaryDirectory() as root:
        manifest = make_lot(root, args.modules, args.width)
        batch.main([manifest, "--db", os.path.join(root, "warm.sqlite"), "--jobs", "2", "--no-progress"])
        for jobs in args.jobs:
            db = os.path.join(root, f"jobs{jobs}.sqlite")
            started = time.monotonic()
            batch.main([manifest, "--db", db, "--jobs", str(jobs), "--no-progress"])
            seconds = time.monotonic() - started
            print(f"width {args.width}, {args.modules} modules, --jobs {jobs}: {seconds:.1f} s, "
                  f"{60 * args.modules / seconds:.0f} modules/min", flush=True)


if __name__ == "__main__":
    main()
