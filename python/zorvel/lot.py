"""The modules of a lot: from a folder of module folders or a CSV manifest."""

import csv
import os
from datetime import datetime, timezone

MANIFEST_COLUMNS = ("module_id", "config_path", "station", "timestamp")


class LotError(ValueError):
    """A manifest or folder that does not describe a lot; the message says where."""


def _iso(text, where):
    try:
        stamp = datetime.fromisoformat(text.strip().replace("Z", "+00:00"))
    except ValueError:
        raise LotError(f"{where}: timestamp '{text}' is not an ISO 8601 date and time") from None
    return stamp.isoformat()


def from_manifest(path):
    """Entries of a CSV manifest with a header naming module_id, config_path,
    station and timestamp (ISO 8601). Relative configuration paths are taken
    from the manifest's folder."""
    base = os.path.dirname(os.path.abspath(path))
    entries = []
    with open(path, newline="", encoding="utf-8") as f:
        reader = csv.DictReader(f)
        missing = [c for c in MANIFEST_COLUMNS if c not in (reader.fieldnames or [])]
        if missing:
            raise LotError(f"{path}: the header lacks {', '.join(missing)} "
                           f"(it needs {', '.join(MANIFEST_COLUMNS)})")
        seen = set()
        for line, row in enumerate(reader, start=2):
            where = f"{path}:{line}"
            module_id, config = (row["module_id"] or "").strip(), (row["config_path"] or "").strip()
            if not module_id or not config:
                raise LotError(f"{where}: module_id and config_path must not be empty")
            config = os.path.normpath(os.path.join(base, config))
            if (module_id, config) in seen:
                raise LotError(f"{where}: module {module_id} with {config} is listed twice")
            seen.add((module_id, config))
            entries.append({"module_id": module_id, "config_path": config,
                            "station": (row["station"] or "").strip(), "timestamp": _iso(row["timestamp"], where)})
    return entries


def from_folder(path, config_name="calibration.cfg", station=""):
    """One entry per sub-folder holding config_name; the module id is the
    folder's name, the timestamp the configuration's modification time."""
    entries = []
    for name in sorted(os.listdir(path)):
        config = os.path.join(os.path.abspath(path), name, config_name)
        if not os.path.isfile(config):
            continue
        mtime = datetime.fromtimestamp(os.path.getmtime(config), timezone.utc)
        entries.append({"module_id": name, "config_path": config, "station": station,
                        "timestamp": mtime.isoformat(timespec="seconds")})
    if not entries:
        raise LotError(f"{path}: no sub-folder holds {config_name}")
    return entries


def load(source, config_name="calibration.cfg", station=""):
    if os.path.isdir(source):
        return from_folder(source, config_name, station)
    if os.path.isfile(source):
        return from_manifest(source)
    raise LotError(f"{source}: neither a folder of modules nor a manifest file")
