"""The result of one run: the fields of the library's JSON result, read from the
very text the library writes, with the printed report beside them."""

import json
from collections.abc import Mapping

try:
    import numpy as _np
except ImportError:  # numpy is optional: key points stay lists
    _np = None


def _arrays(document):
    """Key-point and disparity lists as numpy arrays: points are rows of
    (y, x, Yw, Xw, Zw) as int32, disparities rows of (y, x, vd, hd_deviation)."""
    if _np is None:
        return
    for entry in document.get("key_points") or []:
        if "points" in entry:
            entry["points"] = _np.array(entry["points"], dtype=_np.int32).reshape(-1, 5)
    disparities = document.get("disparities")
    if disparities and "points" in disparities:
        disparities["points"] = _np.array(
            [[_np.nan if v is None else v for v in p] for p in disparities["points"]],
            dtype=_np.float32).reshape(-1, 4)


class Result(Mapping):
    """Read-only: every field of the JSON result by attribute or by key
    (result.rows, result["rows"]), plus

    text    the report the run printed
    json    the JSON result text itself
    ok      True when the library returned 1
    relative_pitch_degrees, relative_yaw_degrees, relative_roll_degrees
            the aux camera against the main camera, None when not measured
    """

    __slots__ = ("_fields", "text", "json")

    def __init__(self, fields, text="", json_text=""):
        object.__setattr__(self, "_fields", fields)
        object.__setattr__(self, "text", text)
        object.__setattr__(self, "json", json_text)

    @classmethod
    def from_json(cls, json_text, text=""):
        fields = json.loads(json_text)
        _arrays(fields)
        return cls(fields, text, json_text)

    def __reduce__(self):  # pickles as its texts, e.g. to hand it to another process
        return (Result.from_json, (self.json, self.text))

    def __getitem__(self, key):
        return self._fields[key]

    def __iter__(self):
        return iter(self._fields)

    def __len__(self):
        return len(self._fields)

    def __getattr__(self, name):
        try:
            return self._fields[name]
        except KeyError:
            raise AttributeError(f"a run's result has no field {name!r}") from None

    def __setattr__(self, name, value):
        raise AttributeError("a run's result is read-only")

    def __repr__(self):
        return (f"Result(status={self._fields.get('status')!r}, kind={self._fields.get('kind')!r}, "
                f"config_path={self._fields.get('config_path')!r})")

    @property
    def ok(self):
        return self._fields.get("result") == 1

    def _angle(self, name):
        angles = self._fields.get("angles")
        return None if angles is None else angles.get(name)

    @property
    def relative_pitch_degrees(self):
        return self._angle("pitch_deg")

    @property
    def relative_yaw_degrees(self):
        return self._angle("yaw_deg")

    @property
    def relative_roll_degrees(self):
        return self._angle("roll_deg")

    def failed_rows(self):
        """The table rows whose verdict is FAIL."""
        return [row for row in self._fields.get("rows", []) if row["verdict"] != "PASS"]
