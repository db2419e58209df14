"""Simulated modules for the Python tests: small captures (640 pixels wide) of
the same scenes, so that a lot of forty modules renders and runs in seconds."""

import csv
import os
import struct
from concurrent.futures import ThreadPoolExecutor

import pytest

import zorvel

WIDTH = 640


def blank_capture(path):
    """Overwrites a 24-bit BMP with a uniform grey image of the same size: a
    capture in which no chart can be found."""
    with open(path, "r+b") as f:
        header = f.read(54)
        offset = struct.unpack_from("<I", header, 10)[0]
        size = os.path.getsize(path) - offset
        f.seek(offset)
        f.write(b"\x80" * size)


@pytest.fixture(scope="session")
def good_module(tmp_path_factory):
    folder = tmp_path_factory.mktemp("good")
    truth = zorvel.simulate("good", folder, main_width=WIDTH)
    return folder, truth


# (preset, configuration, how many, what to do to the module first)
LOT = [
    ("good", "calibration.cfg", 8, None),
    ("portrait", "calibration.cfg", 5, None),
    ("distorted", "calibration.cfg", 5, None),
    ("mono", "calibration.cfg", 5, None),
    ("noisy", "calibration.cfg", 4, None),
    ("good", "verification.cfg", 5, "calibrate"),
    ("tilted-aux", "verification.cfg", 5, "calibrate"),
    ("good", "calibration.cfg", 3, "no chart"),
]
STATIONS = ("A", "B", "C")


def _make(job):
    index, preset, config, treatment, root = job
    module_id = f"M{index:03d}-{preset}"
    folder = os.path.join(root, module_id)
    zorvel.simulate(preset, folder, main_width=WIDTH, module_variant=index, noise_key=index + 1)
    if treatment == "no chart":
        blank_capture(os.path.join(folder, "main_flat.bmp"))
    return module_id, folder, config, treatment


@pytest.fixture(scope="session")
def lot(tmp_path_factory):
    """A CSV manifest of 40 modules over three stations and three days, with
    the modules' expected outcome: tilted-aux verifications and captures
    without a chart must fail."""
    root = str(tmp_path_factory.mktemp("lot"))
    jobs, index = [], 0
    for preset, config, count, treatment in LOT:
        for _ in range(count):
            jobs.append((index, preset, config, treatment, root))
            index += 1
    with ThreadPoolExecutor(2) as pool:
        made = list(pool.map(_make, jobs))
    manifest = os.path.join(root, "manifest.csv")
    expected_failures = set()
    with open(manifest, "w", newline="") as f:
        out = csv.writer(f)
        out.writerow(["module_id", "config_path", "station", "timestamp"])
        for i, (module_id, folder, config, treatment) in enumerate(made):
            if treatment == "calibrate":
                zorvel.run(os.path.join(folder, "calibration.cfg"))
            if treatment == "no chart" or module_id.endswith("tilted-aux"):
                expected_failures.add(module_id)
            stamp = f"2026-03-{1 + i // 3 % 3:02d}T{8 + i % 9:02d}:{i % 60:02d}:00+00:00"  # each station, each day
            out.writerow([module_id, os.path.relpath(os.path.join(folder, config), root), STATIONS[i % 3], stamp])
    return manifest, [m[0] for m in made], expected_failures
