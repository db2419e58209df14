"""zorvel-batch report: yield and drift of a lot database at a glance.

Pass rates per table row and overall, the worst modules, per-station and
per-day statistics of the relative angles and the disparity rows, and PNG
plots: a histogram of every metric with its threshold, every metric over time
per station.
"""

import argparse
import json
import math
import os
import sqlite3
import sys
from collections import defaultdict

ANGLES = ("pitch_deg", "yaw_deg", "roll_deg")
OUTCOMES = ("passed", "failed", "not-tested", "diagnostic", "crashed", "timeout")


def _stats(values):
    values = [v for v in values if v is not None and math.isfinite(v)]
    if not values:
        return {"n": 0, "mean": None, "stdev": None, "min": None, "max": None}
    mean = sum(values) / len(values)
    var = sum((v - mean) ** 2 for v in values) / (len(values) - 1) if len(values) > 1 else 0.0
    return {"n": len(values), "mean": mean, "stdev": math.sqrt(var), "min": min(values), "max": max(values)}


def _outcome(run):
    return run["status"] if run["outcome"] == "ran" else run["outcome"]


def _is_drift_metric(name):
    return "disparity" in name.lower()


def load(db_path):
    """(runs, rows) as lists of dicts; rows carry their run's station."""
    if not os.path.isfile(db_path):
        raise FileNotFoundError(f"{db_path}: no such database")
    db = sqlite3.connect(f"file:{db_path}?mode=ro", uri=True)
    db.row_factory = sqlite3.Row
    try:
        runs = [dict(r) for r in db.execute(
            "SELECT run_id, module_id, config_path, station, timestamp, outcome, kind, status, result,"
            " failure_stage, failure_message, pitch_deg, yaw_deg, roll_deg, rows_failed FROM runs"
            " ORDER BY timestamp, module_id")]
        rows = [dict(r) for r in db.execute(
            "SELECT rows.run_id, rows.module_id, rows.timestamp, runs.station, name, value, threshold, measured,"
            " pass FROM rows JOIN runs USING (run_id) ORDER BY rows.timestamp, rows.module_id, position")]
    finally:
        db.close()
    return runs, rows


def summarise(runs, rows, worst=10):
    outcomes = {k: 0 for k in OUTCOMES}
    for run in runs:
        outcomes[_outcome(run)] = outcomes.get(_outcome(run), 0) + 1
    by_name = defaultdict(list)
    for row in rows:
        by_name[row["name"]].append(row)
    row_summary = []
    for name, items in by_name.items():
        thresholds = sorted({r["threshold"] for r in items if r["threshold"] is not None})
        passed = sum(r["pass"] for r in items)
        row_summary.append({"name": name, "runs": len(items), "passed": passed, "failed": len(items) - passed,
                            "pass_rate": passed / len(items), "thresholds": thresholds,
                            **{k: v for k, v in _stats([r["value"] for r in items]).items() if k != "n"}})

    # Worst first: runs that could not be tested, then by failed rows, then by
    # how far the worst row is past its threshold.
    excess = defaultdict(float)
    for row in rows:
        if row["value"] is not None and row["threshold"]:
            excess[row["run_id"]] = max(excess[row["run_id"]], row["value"] / row["threshold"])
    failing = [r for r in runs if _outcome(r) != "passed"]
    failing.sort(key=lambda r: (r["outcome"] == "ran" and r["status"] != "not-tested", -(r["rows_failed"] or 0),
                                -excess[r["run_id"]], r["module_id"]))
    worst_list = [{"module_id": r["module_id"], "station": r["station"], "timestamp": r["timestamp"],
                   "outcome": _outcome(r), "rows_failed": r["rows_failed"],
                   "worst_value_over_threshold": excess.get(r["run_id"]),
                   "why": r["failure_message"] or ""} for r in failing[:worst]]

    metrics = {a: {r["run_id"]: r[a] for r in runs} for a in ANGLES}
    for row in rows:
        if _is_drift_metric(row["name"]):
            metrics.setdefault(row["name"], {})[row["run_id"]] = row["value"]
    groups = {"station": defaultdict(list), "day": defaultdict(list)}
    for run in runs:
        groups["station"][run["station"]].append(run)
        groups["day"][run["timestamp"][:10]].append(run)
    grouped = {}
    for kind, by_key in groups.items():
        grouped[kind] = {}
        for key, members in sorted(by_key.items()):
            passed = sum(1 for r in members if _outcome(r) == "passed")
            grouped[kind][key] = {
                "runs": len(members), "passed": passed, "pass_rate": passed / len(members),
                "metrics": {m: _stats([values.get(r["run_id"]) for r in members]) for m, values in metrics.items()}}
    total = len(runs)
    return {"runs": total, "modules": len({r["module_id"] for r in runs}), "outcomes": outcomes,
            "pass_rate": outcomes["passed"] / total if total else None, "rows": row_summary,
            "worst": worst_list, "stations": grouped["station"], "days": grouped["day"]}


def _num(v, digits=3):
    return "-" if v is None else f"{v:.{digits}f}"


def print_summary(s, out=sys.stdout):
    w = out.write
    rate = "-" if s["pass_rate"] is None else f"{100 * s['pass_rate']:.1f}%"
    w(f"{s['runs']} runs of {s['modules']} modules: {s['outcomes']['passed']} passed ({rate})")
    w("".join(f", {n} {k}" for k, n in s["outcomes"].items() if k != "passed" and n) + "\n\n")
    w(f"{'row':62} {'passed':>8} {'rate':>7} {'mean':>9} {'max':>9} {'threshold':>10}\n")
    for r in s["rows"]:
        th = "/".join(_num(t, 2) for t in r["thresholds"]) or "-"
        w(f"{r['name'][:62]:62} {r['passed']:>4}/{r['runs']:<3} {100 * r['pass_rate']:6.1f}% "
          f"{_num(r['mean']):>9} {_num(r['max']):>9} {th:>10}\n")
    if s["worst"]:
        w("\nworst modules\n")
        for r in s["worst"]:
            ratio = r["worst_value_over_threshold"]
            rows = f"{r['rows_failed']} rows failed" if r["rows_failed"] else ""
            worst = f"worst {ratio:.2f} x threshold" if ratio is not None and ratio > 1 else ""
            w(f"  {r['module_id']:24} {r['station'] or '-':8} {r['outcome']:11} {rows:14} {worst:26} "
              f"{r['why'][:90]}\n")
    for kind in ("stations", "days"):
        w(f"\nper {kind[:-1]}\n")
        for key, g in s[kind].items():
            w(f"  {key or '-'}: {g['passed']}/{g['runs']} passed ({100 * g['pass_rate']:.1f}%)\n")
            for m, st in g["metrics"].items():
                if st["n"]:
                    w(f"    {m[:62]:62} n={st['n']:<4} mean {_num(st['mean']):>8}  sd {_num(st['stdev']):>7}"
                      f"  min {_num(st['min']):>8}  max {_num(st['max']):>8}\n")


def _save_grid(plt, fig, axes, used, path):
    """Blanks the grid's unused panels, writes the figure to path and closes it."""
    for ax in list(axes.flat)[used:]:
        ax.axis("off")
    fig.tight_layout()
    fig.savefig(path, dpi=80)
    plt.close(fig)
    return path


def plot(runs, rows, folder):
    """Writes histograms.png and over_time.png into folder; returns their paths."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    from datetime import datetime

    os.makedirs(folder, exist_ok=True)
    series = defaultdict(list)  # metric -> [(timestamp, station, value)]
    thresholds = defaultdict(set)
    for run in runs:
        for a in ANGLES:
            if run[a] is not None:
                series[f"relative {a.replace('_deg', '')} [deg]"].append((run["timestamp"], run["station"], run[a]))
    for row in rows:
        if row["value"] is not None and math.isfinite(row["value"]):
            series[row["name"]].append((row["timestamp"], row["station"], row["value"]))
            if row["threshold"] is not None:
                thresholds[row["name"]].add(row["threshold"])
    names = list(series)
    paths = []
    if not names:
        return paths
    cols = 3
    nrows = math.ceil(len(names) / cols)

    fig, axes = plt.subplots(nrows, cols, figsize=(5 * cols, 3.2 * nrows), squeeze=False)
    for ax, name in zip(axes.flat, names):
        values = sorted(v for _, _, v in series[name])
        # A few far outliers would squeeze the rest into one bar: values past
        # the range that shows the threshold and most runs pile up in the last bin.
        top = values[-1]
        if thresholds[name]:
            top = min(top, max(2.5 * max(thresholds[name]), values[int(0.9 * (len(values) - 1))]))
        beyond = sum(v > top for v in values)
        ax.hist([min(v, top) for v in values], bins=min(30, max(5, len(values) // 2)), color="#4a7bb7")
        if beyond:
            ax.text(0.98, 0.55, f"{beyond} beyond {top:.3g}\nin the last bar", transform=ax.transAxes,
                    ha="right", fontsize=7)
        for t in sorted(thresholds[name]):
            ax.axvline(t, color="#c0392b", linestyle="--", label=f"threshold {t:g}")
        if thresholds[name]:
            ax.legend(fontsize=7)
        ax.set_title(name, fontsize=8)
        ax.set_ylabel("runs", fontsize=7)
        ax.tick_params(labelsize=7)
    paths.append(_save_grid(plt, fig, axes, len(names), os.path.join(folder, "histograms.png")))

    fig, axes = plt.subplots(nrows, cols, figsize=(5 * cols, 3.2 * nrows), squeeze=False)
    for ax, name in zip(axes.flat, names):
        by_station = defaultdict(list)
        for stamp, station, value in series[name]:
            by_station[station or "-"].append((datetime.fromisoformat(stamp), value))
        for station, points in sorted(by_station.items()):
            points.sort()
            ax.plot([p[0] for p in points], [p[1] for p in points], marker=".", linewidth=0.8, label=station)
        for t in sorted(thresholds[name]):
            ax.axhline(t, color="#c0392b", linestyle="--")
        ax.set_title(name, fontsize=8)
        ax.legend(fontsize=6)
        ax.tick_params(labelsize=6)
        for label in ax.get_xticklabels():
            label.set_rotation(30)
    paths.append(_save_grid(plt, fig, axes, len(names), os.path.join(folder, "over_time.png")))
    return paths


def main(argv=None):
    p = argparse.ArgumentParser(prog="zorvel-batch report", description=__doc__.split("\n\n")[0])
    p.add_argument("db", help="lot database written by zorvel-batch")
    p.add_argument("--json", action="store_true", help="print the summary as one JSON document")
    p.add_argument("--plots", help="folder for the PNG plots (default: DB's name without .sqlite, plus -plots)")
    p.add_argument("--no-plots", action="store_true", help="write no plots")
    p.add_argument("--worst", type=int, default=10, help="how many of the worst modules to list (default 10)")
    args = p.parse_args(argv)
    try:
        runs, rows = load(args.db)
    except (OSError, sqlite3.Error) as e:
        print(f"zorvel-batch report: {e}", file=sys.stderr)
        return 1
    summary = summarise(runs, rows, args.worst)
    if not args.no_plots:
        folder = args.plots or os.path.splitext(args.db)[0] + "-plots"
        summary["plots"] = plot(runs, rows, folder)
    if args.json:
        print(json.dumps(summary, indent=2))
    else:
        print_summary(summary)
        for path in summary.get("plots", []):
            print(f"plot: {path}")
    return 0
