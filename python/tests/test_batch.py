"""zorvel-batch on a lot of forty simulated modules: the database against each
run's own JSON result, the report's counts, resuming after SIGINT, crashed and
hung runs, and the same lot on a two-worker Dask cluster."""

import json
import os
import signal
import sqlite3
import subprocess
import sys
import time

import pytest

import zorvel
from zorvel import batch, isolated, lot as lots, store


def content(db_path):
    """Everything a database says about its runs but timings and hosts."""
    db = sqlite3.connect(db_path)
    runs = db.execute(f"SELECT {', '.join(store.CONTENT_COLUMNS)} FROM runs ORDER BY module_id").fetchall()
    rows = db.execute("SELECT module_id, position, name, value, threshold, measured, pass FROM rows"
                      " ORDER BY module_id, position").fetchall()
    db.close()
    return runs, rows


@pytest.fixture(scope="module")
def local_db(lot, tmp_path_factory):
    manifest, modules, _ = lot
    folder = tmp_path_factory.mktemp("local")
    db, json_dir = str(folder / "lot.sqlite"), str(folder / "json")
    started = time.monotonic()
    assert batch.main([manifest, "--db", db, "--jobs", "2", "--json-dir", json_dir, "--no-progress"]) == 0
    print(f"\n{len(modules)} modules, --jobs 2: {time.monotonic() - started:.1f} s")
    return db, json_dir


def test_database_holds_each_run_as_its_json_result(lot, local_db):
    manifest, modules, expected_failures = lot
    db_path, json_dir = local_db
    db = sqlite3.connect(db_path)
    db.row_factory = sqlite3.Row
    runs = {r["module_id"]: r for r in db.execute("SELECT * FROM runs")}
    assert sorted(runs) == sorted(modules) and len(modules) >= 40
    for module_id, run in runs.items():
        own = open(os.path.join(json_dir, module_id + ".json")).read()
        assert run["result_json"] == own, module_id
        doc = json.loads(own)
        assert (run["outcome"], run["status"], run["result"], run["kind"]) == \
               ("ran", doc["status"], doc["result"], doc["kind"])
        assert run["pitch_deg"] == (doc["angles"] or {}).get("pitch_deg")
        rows = db.execute("SELECT name, value, threshold, pass FROM rows WHERE run_id = ? ORDER BY position",
                          (run["run_id"],)).fetchall()
        assert [tuple(r) for r in rows] == [(r["name"], r["value"], r["threshold"], int(r["verdict"] == "PASS"))
                                             for r in doc["rows"]]
        if module_id in expected_failures:
            assert doc["status"] != "passed", module_id
        assert "Validating config file" in run["text"]
    passed = db.execute("SELECT count(*) FROM runs WHERE status = 'passed'").fetchone()[0]
    assert passed >= len(modules) // 2  # random modules: most pass, some fail on their own
    db.close()


def test_report_counts_match_the_json_results(local_db, tmp_path, capsys):
    db_path, json_dir = local_db
    docs = [json.load(open(os.path.join(json_dir, f))) for f in os.listdir(json_dir)]
    assert batch.main(["report", db_path, "--json", "--plots", str(tmp_path), "--worst", "99"]) == 0
    summary = json.loads(capsys.readouterr().out)
    assert summary["outcomes"]["passed"] == sum(d["status"] == "passed" for d in docs)
    assert summary["runs"] == len(docs)
    for row in summary["rows"]:
        verdicts = [r["verdict"] for d in docs for r in d["rows"] if r["name"] == row["name"]]
        assert (row["passed"], row["runs"]) == (verdicts.count("PASS"), len(verdicts)), row["name"]
    assert set(summary["stations"]) == {"A", "B", "C"} and len(summary["days"]) == 3
    worst = [w["module_id"] for w in summary["worst"]]
    assert sorted(worst) == sorted(d["config_path"].split(os.sep)[-2] for d in docs if d["status"] != "passed")
    assert summary["worst"][0]["outcome"] == "not-tested"  # one that could not even be measured comes first
    for png in summary["plots"]:
        assert open(png, "rb").read(8) == b"\x89PNG\r\n\x1a\n"
    assert batch.main(["report", db_path, "--no-plots"]) == 0
    text = capsys.readouterr().out
    assert "per station" in text and "worst modules" in text


def test_dask_cluster_gives_the_same_database(lot, local_db, tmp_path):
    distributed = pytest.importorskip("distributed")
    manifest, _, _ = lot
    db = str(tmp_path / "cluster.sqlite")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, host="127.0.0.1", dashboard_address=None,
                                  processes=True) as cluster:
        assert batch.main([manifest, "--db", db, "--scheduler", cluster.scheduler_address, "--no-progress"]) == 0
    assert content(db) == content(local_db[0])


def test_interrupted_batch_resumes_without_repeats_or_losses(lot, local_db, tmp_path):
    manifest, modules, _ = lot
    db = str(tmp_path / "interrupted.sqlite")
    command = [sys.executable, "-m", "zorvel.batch", manifest, "--db", db, "--jobs", "2", "--no-progress"]
    first = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline and first.poll() is None:
        time.sleep(0.1)
        if os.path.exists(db) and sqlite3.connect(db).execute(
                "SELECT count(*) FROM sqlite_master WHERE name = 'runs'").fetchone()[0]:
            if sqlite3.connect(db).execute("SELECT count(*) FROM runs").fetchone()[0] >= 4:
                break
    first.send_signal(signal.SIGINT)
    out, err = first.communicate(timeout=60)
    assert first.returncode == batch.EXIT_INTERRUPTED, err
    kept = sqlite3.connect(db).execute("SELECT count(*) FROM runs").fetchone()[0]
    assert 4 <= kept < len(modules)

    second = subprocess.run(command, capture_output=True, text=True, timeout=300)
    assert second.returncode == 0, second.stderr
    assert f"zorvel-batch: {len(modules) - kept} runs" in second.stdout
    assert f", {kept} already in" in second.stdout
    assert content(db) == content(local_db[0])


def test_crashed_and_hung_runs_are_recorded_and_the_batch_goes_on(good_module, tmp_path):
    folder, _ = good_module
    # A capture that is a pipe: reading it waits for a writer that never comes.
    fifo = tmp_path / "main_l.bmp"
    os.mkfifo(fifo)
    hangs = tmp_path / "hangs.cfg"
    hangs.write_text("".join(f"main_calib_l_chart_image={fifo}\n" if line.startswith("main_calib_l_chart_image=")
                             else line for line in (folder / "calibration.cfg").open()))
    manifest = tmp_path / "m.csv"
    manifest.write_text("module_id,config_path,station,timestamp\n"
                        f"hang,{hangs},A,2026-03-01T08:00:00\n"
                        f"good,{folder / 'calibration.cfg'},A,2026-03-01T09:00:00Z\n")
    db = str(tmp_path / "m.sqlite")
    assert batch.main([str(manifest), "--db", db, "--timeout", "3", "--no-progress"]) == 0
    got = dict(sqlite3.connect(db).execute("SELECT module_id, coalesce(status, outcome) FROM runs"))
    assert got == {"hang": "timeout", "good": "passed"}

    entry = {"module_id": "x", "config_path": str(folder / "calibration.cfg"), "station": "", "timestamp": "t"}
    crashed = isolated.run_isolated(entry, command=[sys.executable, "-c", "import os; os.abort()"])
    assert crashed["outcome"] == "crashed" and "SIGABRT" in crashed["message"]
    garbled = isolated.run_isolated(entry, command=[sys.executable, "-c", "print('half a')"])
    assert garbled["outcome"] == "crashed" and "without a result" in garbled["message"]


@pytest.mark.parametrize("text, words", [
    ("module_id,config_path,station\nm,a.cfg,A\n", "lacks timestamp"),
    ("module_id,config_path,station,timestamp\nm,a.cfg,A,yesterday\n", "not an ISO 8601"),
    ("module_id,config_path,station,timestamp\nm,a.cfg,A,2026-01-01\nm,a.cfg,B,2026-01-02\n", "listed twice"),
    ("module_id,config_path,station,timestamp\n,a.cfg,A,2026-01-01\n", "must not be empty"),
])
def test_bad_manifests_are_refused_with_their_line(tmp_path, text, words):
    manifest = tmp_path / "m.csv"
    manifest.write_text(text)
    with pytest.raises(lots.LotError, match=words):
        lots.from_manifest(manifest)
    assert batch.main([str(manifest), "--db", str(tmp_path / "x.sqlite")]) == batch.EXIT_USAGE


def test_a_folder_lot_takes_every_module_folder_with_the_configuration(tmp_path):
    for name in ("b-2", "a-1", "no-config"):
        (tmp_path / name).mkdir()
    for name in ("a-1", "b-2"):
        (tmp_path / name / "verification.cfg").write_text("")
    entries = lots.load(str(tmp_path), "verification.cfg", "S1")
    assert [(e["module_id"], e["station"]) for e in entries] == [("a-1", "S1"), ("b-2", "S1")]
    assert entries[0]["config_path"] == str(tmp_path / "a-1" / "verification.cfg")
    assert entries[0]["timestamp"].endswith("+00:00")
    with pytest.raises(lots.LotError, match="no sub-folder holds calibration.cfg"):
        lots.load(str(tmp_path))
    assert batch.main([str(tmp_path), "--config", "verification.cfg", "--db", str(tmp_path / "no" / "x.sqlite")]) \
        == batch.EXIT_USAGE
