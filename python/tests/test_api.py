"""zorvel.run, read_record and simulate against the library's own outputs."""

import json
import os
import pickle
import shutil
import subprocess
import threading
from concurrent.futures import ThreadPoolExecutor

import pytest

import zorvel

np = pytest.importorskip("numpy")


def test_run_fields_are_the_json_result_and_text_is_captured(good_module, tmp_path, capfd):
    folder, truth = good_module
    json_file = tmp_path / "result.json"
    result = zorvel.run(folder / "calibration.cfg", json_path=json_file)
    assert result.ok and result.status == "passed" and result.kind == "L+flat"
    # The very document the library wrote for the same run.
    assert json.loads(json_file.read_text()) == json.loads(result.json)
    assert result["rows"] == result.rows and len(result.rows) == 8
    assert all(row["verdict"] == "PASS" for row in result.rows) and not result.failed_rows()
    assert result.relative_pitch_degrees == result.angles["pitch_deg"]
    assert "Validating config file" in result.text and "relative_pitch_degrees" in result.text
    assert result.record["written"] and result.record["size"] == 470
    out = capfd.readouterr().out
    assert "Validating config file" not in out  # nothing leaked to the process's standard output
    print("standard output is back")
    assert capfd.readouterr().out == "standard output is back\n"
    with pytest.raises(AttributeError):
        result.ok = False
    again = pickle.loads(pickle.dumps(result))
    assert again == result and again.text == result.text


def test_key_points_become_arrays_and_verification_reads_the_record(good_module, monkeypatch):
    folder, _ = good_module
    zorvel.run(folder / "calibration.cfg")
    result = zorvel.run(folder / "verification.cfg", key_points=True)
    assert result.ok and result.kind == "verification"
    for entry in result.key_points:
        points = entry["points"]
        assert points.dtype == np.int32 and points.shape == (entry["detected"], 5)
        assert 0 <= points[:, 0].min() and points[:, 0].max() < entry["height"]
    d = result.disparities
    assert d["points"].shape == (d["count"], 4) and d["points"].dtype == np.float32
    # The text's own rows and the fields agree on the verdicts.
    assert result.text.count("PASS") >= len(result.rows)

    from zorvel import result as result_module
    monkeypatch.setattr(result_module, "_np", None)  # numpy is optional: plain lists then
    plain = zorvel.Result.from_json(result.json)
    assert plain.key_points[0]["points"][0] == result.key_points[0]["points"][0].tolist()



def test_read_record_matches_the_record_command(good_module, tmp_path):
    tools = os.environ.get("ZORVEL_TOOLS_DIR")
    if not tools:
        pytest.skip("ZORVEL_TOOLS_DIR (the folder of the zorvel command) not set")
    folder, _ = good_module
    zorvel.run(folder / "calibration.cfg")
    damaged = tmp_path / "damaged.otp"
    data = bytearray((folder / "calibration.otp").read_bytes())
    data[0:4] = b"\xff\xff\xff\xff"
    damaged.write_bytes(bytes(data))
    for path in (str(folder / "calibration.otp"), str(damaged)):
        command = subprocess.run([os.path.join(tools, "zorvel"), "record", path, "--json"], capture_output=True)
        assert json.loads(command.stdout) == zorvel.read_record(path, strict=False)
    # Strict by default: an invalid record raises, carrying its listing.
    with pytest.raises(zorvel.RecordError, match="version") as caught:
        zorvel.read_record(damaged)
    assert caught.value.document == zorvel.read_record(damaged, strict=False) and "fields" not in caught.value.document


@pytest.mark.parametrize("call, error, words", [
    (lambda d: zorvel.run(d / "missing.cfg"), zorvel.NotTestedError, "configuration"),
    (lambda d: zorvel.run(d / "calibration.cfg", 256), ValueError, "0..255"),
    (lambda d: zorvel.run("bad\0path"), ValueError, "NUL"),
    (lambda d: zorvel.read_record(d / "missing.otp"), zorvel.RecordError, "cannot be opened"),
    (lambda d: zorvel.read_record(d), zorvel.RecordError, "is a directory"),
    (lambda d: zorvel.read_record(d / "main_l.bmp"), zorvel.RecordError, "size is"),
    (lambda d: zorvel.simulate("no-such", d / "x"), ValueError, "known presets: good"),
    (lambda d: zorvel.simulate("good", d / "x", main_width=100), ValueError, "640"),
    (lambda d: zorvel.simulate("good", "/proc/none", main_width=640), zorvel.ZorvelError, "cannot"),
])
def test_errors_are_exceptions_with_the_library_message(good_module, call, error, words):
    folder, _ = good_module
    with pytest.raises(error, match=words):
        call(folder)


def test_not_tested_run_still_has_its_result(tmp_path):
    config = tmp_path / "empty.cfg"
    config.write_text("nothing=here\n")
    with pytest.raises(zorvel.NotTestedError) as caught:
        zorvel.run(config)
    assert caught.value.result.status == "not-tested" and not caught.value.result.ok
    result = zorvel.run(config, check=False)
    assert result.failure["stage"] == "configuration" and "Not a valid calibration config" in result.text


def test_threads_take_turns_and_release_the_gil(good_module):
    folder, _ = good_module
    zorvel.run(folder / "calibration.cfg")
    configs = [folder / "calibration.cfg", folder / "verification.cfg"] * 2
    ticks, done = [], threading.Event()

    def tick():
        while not done.wait(0.001):
            ticks.append(1)

    ticker = threading.Thread(target=tick)
    ticker.start()
    with ThreadPoolExecutor(len(configs)) as pool:
        results = list(pool.map(zorvel.run, configs))
    done.set()
    ticker.join()
    for config, result in zip(configs, results):
        assert result.ok
        assert result.text.count("Validating config file") == 1 and str(config) in result.text
    assert len(ticks) > 20  # the interpreter went on while the runs were under way


def test_simulate_returns_the_truth(tmp_path):
    truth = zorvel.simulate("tilted-aux", tmp_path / "m", main_width=640, tilt_deg=1.5, module_variant=3)
    assert truth == json.loads((tmp_path / "m" / "truth.json").read_text())
    assert {"calibration.cfg", "verification.cfg", "main_l.bmp"} <= set(os.listdir(tmp_path / "m"))
    assert "tilted-aux" in zorvel.presets() and zorvel.__version__ == "1.6.7"
    shutil.rmtree(tmp_path / "m")
