"""The lot database: one SQLite file, one table of runs and one of table rows.

Only the process that drives a batch writes it, one transaction per module, so
an interrupted batch leaves every module either wholly recorded or absent.
A run is identified by its module and configuration: running the same
configuration of the same module again is skipped unless asked for.
"""

import json
import sqlite3

SCHEMA = """
CREATE TABLE IF NOT EXISTS runs (
  run_id          INTEGER PRIMARY KEY,
  module_id       TEXT NOT NULL,
  config_path     TEXT NOT NULL,
  station         TEXT NOT NULL DEFAULT '',
  timestamp       TEXT NOT NULL,     -- when the module was captured, ISO 8601
  mode            INTEGER NOT NULL,
  outcome         TEXT NOT NULL,     -- ran, crashed, timeout
  kind            TEXT,              -- L+flat, L-only, flat-only, verification, none
  status          TEXT,              -- passed, failed, not-tested, diagnostic
  result          INTEGER,           -- what the library returned, 1 or 0
  failure_stage   TEXT,
  failure_message TEXT,              -- the library's, or why the run crashed or timed out
  pitch_deg       REAL,              -- the aux camera against the main camera
  yaw_deg         REAL,
  roll_deg        REAL,
  rows_failed     INTEGER,
  record_written  INTEGER,
  record_sha256   TEXT,
  result_json     TEXT,              -- the run's JSON result as the library wrote it
  text            TEXT,              -- the report the run printed
  host            TEXT,
  elapsed_s       REAL,
  processed_at    TEXT,
  UNIQUE (module_id, config_path)
);
CREATE INDEX IF NOT EXISTS runs_module_time ON runs (module_id, timestamp);
CREATE INDEX IF NOT EXISTS runs_station_time ON runs (station, timestamp);
CREATE TABLE IF NOT EXISTS rows (
  run_id      INTEGER NOT NULL REFERENCES runs (run_id) ON DELETE CASCADE,
  position    INTEGER NOT NULL,      -- order in the printed table
  module_id   TEXT NOT NULL,
  timestamp   TEXT NOT NULL,
  name        TEXT NOT NULL,
  value       REAL,                  -- NULL when not measured (NaN)
  threshold   REAL,
  measured    INTEGER NOT NULL,
  pass        INTEGER NOT NULL,
  fov_percent INTEGER,
  percentile  INTEGER,
  PRIMARY KEY (run_id, position)
);
CREATE INDEX IF NOT EXISTS rows_module_time ON rows (module_id, timestamp);
CREATE INDEX IF NOT EXISTS rows_name_time ON rows (name, timestamp);
"""

# Columns compared between two databases of the same lot: everything but the
# time a run took, where and when it was processed.
CONTENT_COLUMNS = ("module_id", "config_path", "station", "timestamp", "mode", "outcome", "kind", "status",
                   "result", "failure_stage", "failure_message", "pitch_deg", "yaw_deg", "roll_deg",
                   "rows_failed", "record_written", "record_sha256")


def connect(path):
    db = sqlite3.connect(path, timeout=30, isolation_level=None)  # transactions are explicit
    db.execute("PRAGMA foreign_keys = ON")
    db.execute("PRAGMA journal_mode = WAL")
    db.executescript(SCHEMA)
    return db


def done_keys(db):
    """(module_id, config_path) of every run already recorded."""
    return set(db.execute("SELECT module_id, config_path FROM runs"))


def store(db, record):
    """Records one run from run_isolated(), replacing an earlier run of the same
    module and configuration, in one transaction."""
    doc = json.loads(record["result_json"]) if record.get("result_json") else {}
    failure = doc.get("failure") or {}
    angles = doc.get("angles") or {}
    rec = doc.get("record") or {}
    rows = doc.get("rows") or []
    message = failure.get("message") if record["outcome"] == "ran" else record.get("message")
    db.execute("BEGIN IMMEDIATE")
    try:
        db.execute("DELETE FROM runs WHERE module_id = ? AND config_path = ?",
                   (record["module_id"], record["config_path"]))
        cur = db.execute(
            "INSERT INTO runs (module_id, config_path, station, timestamp, mode, outcome, kind, status, result,"
            " failure_stage, failure_message, pitch_deg, yaw_deg, roll_deg, rows_failed, record_written,"
            " record_sha256, result_json, text, host, elapsed_s, processed_at)"
            " VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
            (record["module_id"], record["config_path"], record.get("station", ""), record["timestamp"],
             record.get("mode", 0), record["outcome"], doc.get("kind"), doc.get("status"), doc.get("result"),
             failure.get("stage") if doc else record["outcome"], message,
             angles.get("pitch_deg"), angles.get("yaw_deg"), angles.get("roll_deg"),
             sum(1 for r in rows if r["verdict"] != "PASS") if doc else None,
             (1 if rec.get("written") else 0) if rec else None, rec.get("sha256"),
             record.get("result_json"), record.get("text"), record.get("host"), record.get("elapsed_s"),
             record.get("processed_at")))
        run_id = cur.lastrowid
        db.executemany(
            "INSERT INTO rows (run_id, position, module_id, timestamp, name, value, threshold, measured, pass,"
            " fov_percent, percentile) VALUES (?,?,?,?,?,?,?,?,?,?,?)",
            [(run_id, i, record["module_id"], record["timestamp"], r["name"], r["value"], r["threshold"],
              1 if r["measured"] else 0, 1 if r["verdict"] == "PASS" else 0, r.get("fov_percent"),
              r.get("percentile")) for i, r in enumerate(rows)])
        db.execute("COMMIT")
    except BaseException:
        db.execute("ROLLBACK")
        raise
    return run_id
