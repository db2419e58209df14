"""Calibrate and verify stereo camera modules from Python.

run() calibrates or verifies one module from its key=value configuration,
read_record() lists and checks a stored OTP or interim record, simulate()
renders a module with known truth so that everything can be tried without
hardware. zorvel.batch reprocesses a lot of modules into one SQLite file.

Runs within one process take turns: the library prints its report to the
process's standard output, and each run captures that text by pointing the
descriptor at a temporary file, which only one run at a time can do. The GIL
is released during a run. For parallel runs use processes (zorvel-batch does).
"""

import json
import os
import sys

try:  # installed: the compiled module sits inside the package
    from . import _zorvel as _native
except ImportError:  # build tree: PYTHONPATH=python:build/python
    import _zorvel as _native

from .result import Result

__all__ = ["run", "read_record", "simulate", "presets", "Result", "ZorvelError", "NotTestedError",
           "RecordError", "__version__"]

__version__ = _native.version


class ZorvelError(RuntimeError):
    """Something the library refused or could not do; the message is its own."""


class NotTestedError(ZorvelError):
    """The module could not be tested (configuration, capture or record unreadable
    or unwritable, or an internal error). .result holds the run's Result."""

    def __init__(self, message, result):
        super().__init__(message)
        self.result = result


class RecordError(ZorvelError):
    """A record file that cannot be read or fails a check. .document holds the
    listing (as `zorvel record --json`) when the file could be read."""

    def __init__(self, message, document=None):
        super().__init__(message)
        self.document = document


def run(config_path, mode=0, *, key_points=False, json_path=None, report_dir=None, check=True):
    """Runs the calibration or verification that config_path describes.

    Returns a Result: the JSON result's fields (.ok, .status, .rows,
    .relative_pitch_degrees, ...) and the printed report as .text. With
    key_points the key points and pair disparities come along, as numpy arrays
    when numpy is installed. json_path and report_dir override the
    configuration's result_json_file and result_report_dir.

    A module that was measured and failed is a Result with ok False; one that
    could not be tested raises NotTestedError unless check is False.
    """
    path = os.fspath(config_path)
    if isinstance(path, bytes):
        path = os.fsdecode(path)
    mode = int(mode)
    sys.stdout.flush()  # Python's buffered text must not end up in the run's text
    value, document, text = _native.run(path, mode, bool(key_points), os.fspath(json_path or ""),
                                        os.fspath(report_dir or ""))
    result = Result.from_json(document, text)
    if result.result != value:
        raise ZorvelError(f"the JSON result says {result.result}, the library returned {value}")
    if check and result.status == "not-tested":
        failure = result.failure or {}
        raise NotTestedError(f"{path}: {failure.get('stage', 'run')}: {failure.get('message', 'not tested')}",
                             result)
    return result


def read_record(path, *, strict=True):
    """The listing of a stored OTP (470 bytes) or interim (2577 bytes) record as
    a dict, the document of `zorvel record FILE --json`: file, kind, size,
    valid, failures and, for a valid record, fields.

    The checks are the command's. A file that cannot be read raises
    RecordError; so does a record failing a check, unless strict is False, in
    which case the document (valid False, its failures) is returned.
    """
    path = os.fsdecode(os.fspath(path))
    readable, why, document = _native.read_record(path)
    if not readable:
        raise RecordError(f"{path} {why}")
    listing = json.loads(document)
    if strict and not listing["valid"]:
        lines = [f"{path}: {f['field']} {f['message']}" for f in listing["failures"]]
        raise RecordError("\n".join(lines), listing)
    return listing


def presets():
    """Names of the simulator's presets."""
    return list(_native.presets())


def simulate(preset, out_dir, *, noise_key=1, main_width=None, tilt_deg=None, module_variant=None):
    """Renders a simulated module into out_dir (as zorvel-chartgen does): six BMP
    captures, the configurations calibration.cfg, calibration_l_only.cfg,
    calibration_flat_only.cfg and verification.cfg, and truth.json, whose
    content is returned.

    main_width renders smaller captures of the same scene (640 at least),
    tilt_deg tilts the aux camera between calibration and verification,
    module_variant draws a random module around the preset.
    """
    out = os.path.abspath(os.fsdecode(os.fspath(out_dir)))
    error = _native.simulate(str(preset), out, int(noise_key),
                             -1 if main_width is None else int(main_width),
                             0.0 if tilt_deg is None else float(tilt_deg), tilt_deg is not None,
                             -1 if module_variant is None else int(module_variant))
    if error:
        raise ZorvelError(error)
    with open(os.path.join(out, "truth.json"), encoding="utf-8") as f:
        return json.load(f)
