"""zorvel-batch: calibrate or verify a lot of modules into one SQLite file.

  zorvel-batch LOT --db lot.sqlite [--jobs N] [--timeout S] [--rerun] [--scheduler tcp://HOST:8786]
  zorvel-batch report lot.sqlite [--json] [--plots DIR]

LOT is a folder of module folders (each holding --config, default
calibration.cfg) or a CSV manifest (module_id, config_path, station,
timestamp). Every module runs in a child process of its own, --jobs at a time,
or on a Dask cluster with --scheduler; only this process writes the database.
"""

import argparse
import os
import signal
import sqlite3
import sys
import threading
import time
import uuid
from concurrent.futures import FIRST_COMPLETED, ThreadPoolExecutor, wait

from . import isolated, lot, store

EXIT_DONE, EXIT_USAGE, EXIT_INTERRUPTED = 0, 2, 130


class Stop:
    """Ctrl-C (SIGINT) once: start nothing new, record the runs under way, then
    stop. Twice: abandon the runs under way too (they run again next time)."""

    def __init__(self):
        self.requested = False
        self.abandon = False
        self._previous = None

    def __enter__(self):
        if threading.current_thread() is threading.main_thread():
            self._previous = signal.signal(signal.SIGINT, self._handle)
        return self

    def __exit__(self, *exc):
        if self._previous is not None:
            signal.signal(signal.SIGINT, self._previous)

    def _handle(self, signum, frame):
        if self.requested:
            self.abandon = True
            isolated.kill_all()
        else:
            self.requested = True
            print("\nzorvel-batch: interrupted; recording the runs under way (Ctrl-C again to abandon them)",
                  file=sys.stderr, flush=True)


def run_local(entries, jobs, options, on_done, stop):
    """Runs entries in child processes, at most jobs at once."""
    todo = iter(entries)
    running = set()
    with ThreadPoolExecutor(max_workers=jobs) as pool:
        while True:
            while not stop.requested and len(running) < jobs:
                entry = next(todo, None)
                if entry is None:
                    break
                running.add(pool.submit(isolated.run_isolated, entry, **options))
            if not running:
                return
            done, running = wait(running, timeout=0.2, return_when=FIRST_COMPLETED)
            for future in done:
                if not stop.abandon:
                    on_done(future.result())
            if stop.abandon:
                isolated.kill_all()
                wait(running)
                return


def run_dask(entries, scheduler, options, on_done, stop):
    """Runs entries on a Dask distributed cluster; each worker starts the child
    processes, this process gathers the results and writes them."""
    from distributed import Client
    with Client(scheduler) as client:
        batch_id = uuid.uuid4().hex[:8]  # keys of an earlier batch on the same cluster are never reused
        futures = {client.submit(isolated.run_isolated, entry, pure=False,
                                 key=f"zorvel-{batch_id}-{i}-{entry['module_id']}", **options): entry
                   for i, entry in enumerate(entries)}
        try:
            while futures and not stop.requested:
                done = [f for f in futures if f.done()]
                if not done:
                    time.sleep(0.1)
                for future in done:
                    entry = futures.pop(future)
                    try:
                        record = future.result()
                    except Exception as e:  # the worker itself died or lost the task
                        record = isolated.failed_record(entry, options["mode"], f"the cluster lost the run: {e!r}")
                    on_done(record)
        finally:
            # Runs still under way on a worker are abandoned; they run again next time.
            client.cancel(list(futures))


def _progress(total, enabled):
    try:
        from tqdm import tqdm
    except ImportError:
        tqdm = None
    if tqdm is None or not enabled:
        return None
    return tqdm(total=total, unit="module", dynamic_ncols=True, disable=None, smoothing=0.1)


def run_batch(args):
    try:
        entries = lot.load(args.lot, args.config, args.station)
    except (lot.LotError, OSError) as e:
        print(f"zorvel-batch: {e}", file=sys.stderr)
        return EXIT_USAGE
    try:
        db = store.connect(args.db)
        done_before = store.done_keys(db)
    except sqlite3.Error as e:
        print(f"zorvel-batch: {args.db}: {e}", file=sys.stderr)
        return EXIT_USAGE
    todo = entries if args.rerun else [e for e in entries if (e["module_id"], e["config_path"]) not in done_before]
    skipped = len(entries) - len(todo)
    if args.json_dir:
        os.makedirs(args.json_dir, exist_ok=True)
    options = {"timeout": args.timeout, "mode": args.mode,
               "json_dir": os.path.abspath(args.json_dir) if args.json_dir else None}
    counts = {}
    bar = _progress(len(todo), not args.no_progress)

    def on_done(record):
        store.store(db, record)
        key = record["outcome"] if record["outcome"] != "ran" else _status(record)
        counts[key] = counts.get(key, 0) + 1
        if bar is not None:
            bar.update(1)

    with Stop() as stop:
        try:
            if args.scheduler:
                run_dask(todo, args.scheduler, options, on_done, stop)
            else:
                run_local(todo, args.jobs, options, on_done, stop)
        finally:
            if bar is not None:
                bar.close()
            db.close()
    ran = sum(counts.values())
    detail = ", ".join(f"{n} {k}" for k, n in sorted(counts.items()))
    print(f"zorvel-batch: {ran} run{'s' if ran != 1 else ''}" + (f" ({detail})" if detail else "")
          + f", {skipped} already in {args.db}" + (f", {len(todo) - ran} left for next time" if stop.requested else ""))
    return EXIT_INTERRUPTED if stop.requested else EXIT_DONE


def _status(record):
    import json
    return json.loads(record["result_json"]).get("status", "unknown")


def batch_parser():
    p = argparse.ArgumentParser(
        prog="zorvel-batch",
        description="Calibrate or verify every module of a lot into one SQLite database. "
                    "'zorvel-batch report DB' summarises a database.")
    p.add_argument("lot", help="folder of module folders, or a CSV manifest (module_id,config_path,station,timestamp)")
    p.add_argument("--db", required=True, help="SQLite database receiving the runs (created when missing)")
    p.add_argument("--jobs", type=_positive, default=os.cpu_count() or 1,
                   help="modules run at once on this machine (default: the number of cores)")
    p.add_argument("--timeout", type=float, default=None,
                   help="seconds a module may take before its run is killed and recorded as timed out")
    p.add_argument("--rerun", action="store_true", help="run modules already in the database again")
    p.add_argument("--scheduler", help="address of a Dask scheduler (tcp://HOST:8786) to run the modules on")
    p.add_argument("--mode", type=int, default=0, choices=range(256), metavar="N", help="run mode (default 0)")
    p.add_argument("--config", default="calibration.cfg",
                   help="configuration file in each module folder (folder lots only; default calibration.cfg)")
    p.add_argument("--station", default="", help="station name of a folder lot")
    p.add_argument("--json-dir", help="also write each run's JSON result there, as MODULE.json")
    p.add_argument("--no-progress", action="store_true", help="no progress bar")
    return p


def _positive(text):
    value = int(text)
    if value < 1:
        raise argparse.ArgumentTypeError("must be at least 1")
    return value


def main(argv=None):
    argv = sys.argv[1:] if argv is None else list(argv)
    if argv[:1] == ["report"]:
        from . import report
        return report.main(argv[1:])
    args = batch_parser().parse_args(argv)
    return run_batch(args)


if __name__ == "__main__":
    sys.exit(main())
